#pragma once
// v4l2loopback nodes behind the system seam, with the module's habits that
// the writer must live with: the format is fixed from the first picture
// until every opener has closed the node; with exclusive_caps a node that a
// writer feeds shows capture only, the directions it offers are worked out
// only when someone asks for its capabilities, and it offers output again
// only after a descriptor that streamed on as writer closes; a mapped
// buffer holds the node like an open descriptor. Readers are counted, not
// simulated.

#include "camera/v4l2/V4l2System.h"

#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace simloop {

struct Node {
    std::string node = "/dev/video5";
    std::string card = "Stillwise";
    std::string driver = "v4l2 loopback";
    bool exclusiveCaps = true;
    int openErrno = 0;
    int writeErrno = 0;    // each write, or each buffer given back, fails with this while set
    bool streaming = true; // lends its buffers for mapping
    int queueErrnoOnce = 0; // the next buffer handed over is refused with this
    std::uint32_t maxBuffers = 2;
    bool gone = false;
    // A node that lies: what it makes of its answer to the format.
    std::function<void(v4l2_pix_format&)> lie;

    // A module (0.13 on) that tells its writer how many programs read.
    bool clientEvents = false;

    // The module's state.
    bool ready = false;         // a writer has sent a picture
    bool readyForOutput = true; // no writer attached
    std::uint32_t announced = V4L2_CAP_VIDEO_OUTPUT; // as of the last QUERYCAP
    int openers = 0;    // descriptors plus attached readers
    v4l2_pix_format format{};
    v4l2_fract timePerFrame{1, 30};

    std::vector<std::vector<std::uint8_t>> buffers;
    std::vector<std::uint32_t> queued; // oldest first
    int mapped = 0;
    int releaseWhenUnmapped = 0; // descriptors closed while mapped

    // What happened, for the tests.
    std::vector<std::uint8_t> written; // the last write()
    int lastQueued = -1;
    std::uint32_t lastBytesUsed = 0;
    int frames = 0;
    int setFormats = 0;
    std::set<int> subscribed;           // descriptors subscribed to the readers' count
    std::deque<std::uint32_t> counts;   // events not yet taken, oldest first

    // The picture the readers get now, whichever way it came.
    std::vector<std::uint8_t> lastFrame() const
    {
        if (lastQueued < 0)
            return written;
        const auto& b = buffers[static_cast<std::size_t>(lastQueued)];
        return {b.begin(), b.begin() + lastBytesUsed};
    }
};

class System final : public camera::V4l2System {
public:
    explicit System(std::vector<Node> nodes = {}) : nodes_(std::move(nodes)) {}

    Node& node(std::size_t i) { return nodes_[i]; }
    int openFds() const { return static_cast<int>(open_.size()); }
    int mappings() const { return static_cast<int>(maps_.size()); }
    // Another program reading the node keeps it open; like any program it
    // asks for the capabilities first.
    void attachReader(std::size_t i)
    {
        ++nodes_[i].openers;
        announce(nodes_[i]);
    }
    void detachReader(std::size_t i) { release(nodes_[i]); }
    // A reader starts or stops reading: where the module tells, the writer
    // gets the new count of readers.
    void readersNow(std::size_t i, std::uint32_t count)
    {
        if (nodes_[i].clientEvents && !nodes_[i].subscribed.empty())
            nodes_[i].counts.push_back(count);
    }

    std::vector<std::string> videoNodes() override
    {
        std::vector<std::string> out;
        for (const Node& n : nodes_)
            if (!n.gone)
                out.push_back(n.node);
        return out;
    }

    std::string nodeAttribute(const std::string& path, const std::string& attribute) override
    {
        for (const Node& n : nodes_)
            if (n.node == path && attribute == "name")
                return n.card;
        return {};
    }

    int open(const std::string& path, int) override
    {
        for (std::size_t i = 0; i < nodes_.size(); ++i) {
            Node& n = nodes_[i];
            if (n.node != path || n.gone)
                continue;
            if (n.openErrno != 0)
                return fail(n.openErrno);
            ++n.openers;
            open_[nextFd_] = i;
            return nextFd_++;
        }
        return fail(ENOENT);
    }

    int close(int fd) override
    {
        auto it = open_.find(fd);
        if (it == open_.end())
            return fail(EBADF);
        if (writers_.erase(fd) != 0)
            nodes_[it->second].readyForOutput = true;
        nodes_[it->second].subscribed.erase(fd);
        // Mappings keep the node held until they go.
        if (nodes_[it->second].mapped == 0)
            release(nodes_[it->second]);
        else
            ++nodes_[it->second].releaseWhenUnmapped;
        open_.erase(it);
        return 0;
    }

    int ioctl(int fd, unsigned long request, void* arg) override
    {
        Node* n = find(fd);
        if (n == nullptr)
            return fail(EBADF);
        if (n->gone)
            return fail(ENODEV);
        switch (request) {
        case VIDIOC_SUBSCRIBE_EVENT: {
            const auto* sub = static_cast<v4l2_event_subscription*>(arg);
            // v4l2loopback before 0.13 knows no private events.
            if (!n->clientEvents || sub->type != V4L2_EVENT_PRIVATE_START)
                return fail(EINVAL);
            n->subscribed.insert(fd);
            return 0;
        }
        case VIDIOC_DQEVENT: {
            if (n->subscribed.count(fd) == 0 || n->counts.empty())
                return fail(ENOENT);
            auto* event = static_cast<v4l2_event*>(arg);
            *event = {};
            event->type = V4L2_EVENT_PRIVATE_START;
            const std::uint32_t count = n->counts.front();
            n->counts.pop_front();
            std::memcpy(event->u.data, &count, sizeof count);
            event->pending = static_cast<std::uint32_t>(n->counts.size());
            return 0;
        }
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(arg);
            *cap = {};
            std::strncpy(reinterpret_cast<char*>(cap->driver), n->driver.c_str(), sizeof cap->driver - 1);
            std::strncpy(reinterpret_cast<char*>(cap->card), n->card.c_str(), sizeof cap->card - 1);
            const std::uint32_t caps = V4L2_CAP_STREAMING | V4L2_CAP_READWRITE | announce(*n);
            cap->device_caps = caps;
            cap->capabilities = caps | V4L2_CAP_DEVICE_CAPS;
            return 0;
        }
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            // The kernel checks the type against the announced directions.
            if (f->type != V4L2_BUF_TYPE_VIDEO_OUTPUT || !(n->announced & V4L2_CAP_VIDEO_OUTPUT))
                return fail(EINVAL);
            ++n->setFormats;
            if (!n->ready) {
                v4l2_pix_format& p = f->fmt.pix;
                p.width = std::min<std::uint32_t>(std::max<std::uint32_t>(p.width, 1), 8192);
                p.height = std::min<std::uint32_t>(std::max<std::uint32_t>(p.height, 1), 8192);
                if (p.pixelformat != V4L2_PIX_FMT_YUYV && p.pixelformat != V4L2_PIX_FMT_BGR24)
                    p.pixelformat = V4L2_PIX_FMT_YUYV;
                p.bytesperline = p.width * (p.pixelformat == V4L2_PIX_FMT_YUYV ? 2 : 3);
                p.sizeimage = p.bytesperline * p.height;
                p.colorspace = V4L2_COLORSPACE_SRGB; // as the module does
                if (p.field == V4L2_FIELD_ANY)
                    p.field = V4L2_FIELD_NONE;
                n->format = p;
                // The module answers the page-rounded buffer size.
                p.sizeimage = (p.sizeimage + 4095) & ~4095u;
            } else {
                f->fmt.pix = n->format; // fixed while anyone has it open
            }
            if (n->lie)
                n->lie(f->fmt.pix);
            return 0;
        }
        case VIDIOC_S_PARM: {
            auto* p = static_cast<v4l2_streamparm*>(arg);
            const v4l2_fract t = p->parm.output.timeperframe;
            if (t.numerator < 1 || t.denominator < 1)
                return fail(EINVAL);
            n->timePerFrame = t;
            return 0;
        }
        case VIDIOC_STREAMON: {
            if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_OUTPUT || !(n->announced & V4L2_CAP_VIDEO_OUTPUT))
                return fail(EINVAL);
            writers_.insert(fd);
            n->readyForOutput = false;
            n->ready = true;
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto* r = static_cast<v4l2_requestbuffers*>(arg);
            if (!n->streaming || r->type != V4L2_BUF_TYPE_VIDEO_OUTPUT || r->memory != V4L2_MEMORY_MMAP ||
                n->format.sizeimage == 0)
                return fail(EINVAL);
            if (n->mapped != 0)
                return fail(EBUSY);
            r->count = std::min(r->count, n->maxBuffers);
            const std::size_t size = (n->format.sizeimage + 4095) & ~std::size_t{4095};
            n->buffers.assign(r->count, std::vector<std::uint8_t>(size, 0xEE));
            n->queued.clear();
            n->lastQueued = -1;
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= n->buffers.size())
                return fail(EINVAL);
            b->length = static_cast<std::uint32_t>(n->buffers[b->index].size());
            b->m.offset = b->index * b->length;
            return 0;
        }
        case VIDIOC_QBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= n->buffers.size() || b->bytesused > n->buffers[b->index].size())
                return fail(EINVAL);
            if (n->writeErrno != 0 && n->writeErrno != EAGAIN)
                return fail(n->writeErrno);
            if (const int error = std::exchange(n->queueErrnoOnce, 0))
                return fail(error);
            n->ready = true;
            n->queued.push_back(b->index);
            n->lastQueued = static_cast<int>(b->index);
            n->lastBytesUsed = b->bytesused;
            ++n->frames;
            return 0;
        }
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (n->writeErrno != 0)
                return fail(n->writeErrno);
            if (n->queued.empty())
                return fail(EAGAIN);
            b->index = n->queued.front();
            n->queued.erase(n->queued.begin());
            return 0;
        }
        default:
            return fail(ENOTTY);
        }
    }

    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        Node* n = find(fd);
        if (n == nullptr)
            return fail(EBADF);
        if (n->gone)
            return fail(ENODEV);
        if (n->writeErrno != 0)
            return fail(n->writeErrno);
        if (n->format.sizeimage == 0)
            return fail(EINVAL);
        n->ready = true;
        n->readyForOutput = false;
        const std::size_t count = std::min<std::size_t>(size, n->format.sizeimage);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        n->written.assign(bytes, bytes + count);
        ++n->frames;
        return static_cast<ssize_t>(count);
    }

    void* mmap(std::size_t length, int, int, int fd, off_t offset) override
    {
        auto it = open_.find(fd);
        Node* n = it == open_.end() ? nullptr : &nodes_[it->second];
        if (n == nullptr || n->buffers.empty() || length != n->buffers[0].size() ||
            static_cast<std::size_t>(offset) % length != 0 || static_cast<std::size_t>(offset) / length >= n->buffers.size()) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        void* address = n->buffers[static_cast<std::size_t>(offset) / length].data();
        maps_[address] = it->second;
        ++n->mapped;
        return address;
    }
    int munmap(void* address, std::size_t) override
    {
        auto it = maps_.find(address);
        if (it == maps_.end())
            return fail(EINVAL);
        Node& n = nodes_[it->second];
        maps_.erase(it);
        if (--n.mapped == 0)
            for (; n.releaseWhenUnmapped > 0; --n.releaseWhenUnmapped)
                release(n);
        return 0;
    }
    // Only the readers' count is waited for: POLLPRI while an event waits.
    int poll(pollfd* fds, nfds_t count, int) override
    {
        int ready = 0;
        for (nfds_t i = 0; i < count; ++i) {
            const Node* n = find(fds[i].fd);
            fds[i].revents = 0;
            if (n != nullptr && n->subscribed.count(fds[i].fd) != 0 && !n->counts.empty() &&
                (fds[i].events & POLLPRI) != 0) {
                fds[i].revents = POLLPRI;
                ++ready;
            }
        }
        return ready;
    }

private:
    static int fail(int error)
    {
        errno = error;
        return -1;
    }
    Node* find(int fd)
    {
        auto it = open_.find(fd);
        return it == open_.end() ? nullptr : &nodes_[it->second];
    }
    static std::uint32_t announce(Node& n)
    {
        if (!n.exclusiveCaps)
            n.announced = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_OUTPUT;
        else
            n.announced = (n.ready ? V4L2_CAP_VIDEO_CAPTURE : 0u) | (n.readyForOutput ? V4L2_CAP_VIDEO_OUTPUT : 0u);
        return n.announced;
    }
    static void release(Node& n)
    {
        if (--n.openers == 0) {
            n.ready = false;
            n.format = {};
        }
    }

    std::vector<Node> nodes_;
    std::map<int, std::size_t> open_;
    std::map<void*, std::size_t> maps_;
    std::set<int> writers_;
    int nextFd_ = 7000;
};

inline Node MakeNode(const std::string& path, const std::string& card)
{
    Node n;
    n.node = path;
    n.card = card;
    return n;
}

} // namespace simloop
