#pragma once
// v4l2loopback nodes behind the system seam, with the module's habits that
// the writer must live with: the format is fixed from the first picture
// until every opener has closed the node; with exclusive_caps a node that a
// writer feeds shows capture only, the directions it offers are worked out
// only when someone asks for its capabilities, and it offers output again
// only after a descriptor that streamed on as writer closes. Readers are
// counted, not simulated.

#include "platform/avicap/V4l2System.h"

#include <linux/videodev2.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace simloop {

struct Node {
    std::string node = "/dev/video5";
    std::string card = "Stillwise";
    std::string driver = "v4l2 loopback";
    bool exclusiveCaps = true;
    int openErrno = 0;
    int writeErrno = 0; // each write fails with this while set
    bool gone = false;

    // The module's state.
    bool ready = false;         // a writer has sent a picture
    bool readyForOutput = true; // no writer attached
    std::uint32_t announced = V4L2_CAP_VIDEO_OUTPUT; // as of the last QUERYCAP
    int openers = 0;    // descriptors plus attached readers
    v4l2_pix_format format{};
    v4l2_fract timePerFrame{1, 30};

    // What happened, for the tests.
    std::vector<std::uint8_t> lastFrame;
    int frames = 0;
    int setFormats = 0;
};

class System final : public avicap::V4l2System {
public:
    explicit System(std::vector<Node> nodes = {}) : nodes_(std::move(nodes)) {}

    Node& node(std::size_t i) { return nodes_[i]; }
    int openFds() const { return static_cast<int>(open_.size()); }
    // Another program reading the node keeps it open; like any program it
    // asks for the capabilities first.
    void attachReader(std::size_t i)
    {
        ++nodes_[i].openers;
        announce(nodes_[i]);
    }
    void detachReader(std::size_t i) { release(nodes_[i]); }

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
        release(nodes_[it->second]);
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
        n->lastFrame.assign(bytes, bytes + count);
        ++n->frames;
        return static_cast<ssize_t>(count);
    }

    void* mmap(std::size_t, int, int, int, off_t) override
    {
        errno = EINVAL;
        return MAP_FAILED;
    }
    int munmap(void*, std::size_t) override { return fail(EINVAL); }
    int poll(pollfd*, nfds_t, int) override { return fail(EINVAL); }

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
