#include "camera/v4l2/V4l2System.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace camera {

namespace {

class LinuxSystem final : public V4l2System {
public:
    std::vector<std::string> videoNodes() override
    {
        std::vector<std::pair<long, std::string>> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("video", 0) != 0 || name.size() == 5)
                continue;
            const std::string digits = name.substr(5);
            if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                continue;
            found.emplace_back(std::stol(digits), entry.path().string());
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> nodes;
        for (auto& f : found)
            nodes.push_back(std::move(f.second));
        return nodes;
    }

    std::string nodeAttribute(const std::string& node, const std::string& attribute) override
    {
        const std::filesystem::path base = std::filesystem::path("/sys/class/video4linux") /
                                           std::filesystem::path(node).filename();
        std::error_code error;
        if (attribute == "serial") {
            // A USB camera's serial number sits with its USB device, the
            // parent of the video interface.
            std::ifstream in(base / "device" / ".." / "serial");
            std::string line;
            std::getline(in, line);
            return line;
        }
        if (attribute == "driver") {
            const auto target = std::filesystem::read_symlink(base / "device" / "driver", error);
            return error ? std::string() : target.filename().string();
        }
        std::ifstream in(base / attribute);
        std::string line;
        std::getline(in, line);
        return line;
    }

    int open(const std::string& path, int flags) override { return ::open(path.c_str(), flags | O_CLOEXEC); }

    int close(int fd) override { return ::close(fd); }

    int ioctl(int fd, unsigned long request, void* arg) override
    {
        int r;
        do
            r = ::ioctl(fd, request, arg);
        while (r < 0 && errno == EINTR);
        return r;
    }

    void* mmap(std::size_t length, int prot, int flags, int fd, off_t offset) override
    {
        return ::mmap(nullptr, length, prot, flags, fd, offset);
    }

    int munmap(void* address, std::size_t length) override { return ::munmap(address, length); }

    int poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }

    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        ssize_t r;
        do
            r = ::write(fd, data, size);
        while (r < 0 && errno == EINTR);
        return r;
    }
};

} // namespace

ssize_t V4l2System::write(int, const void*, std::size_t)
{
    errno = EINVAL;
    return -1;
}

V4l2System& LinuxV4l2System()
{
    static LinuxSystem system;
    return system;
}

} // namespace camera
