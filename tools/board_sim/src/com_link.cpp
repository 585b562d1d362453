#include "com_link.hpp"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace board_sim {

namespace {

// Two programs fighting over one link would otherwise swap it back and forth
// forever; after this many repairs the link is left alone.
constexpr int max_restores = 50;

}  // namespace

ComLink::ComLink(const std::filesystem::path& wine_prefix, int com_number, std::string target)
    : target_(std::move(target)) {
    const std::filesystem::path dosdevices = wine_prefix / "dosdevices";
    std::error_code ec;
    if (!std::filesystem::is_directory(dosdevices, ec)) {
        throw std::runtime_error(dosdevices.string() +
                                 " is not a folder; create the Wine prefix first (wineboot -i)");
    }
    link_path_ = dosdevices / ("com" + std::to_string(com_number));
    place_link();

    // Watching is a robustness aid; the link works without it.
    watch_.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (watch_ &&
        ::inotify_add_watch(watch_.get(), dosdevices.c_str(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF) < 0) {
        watch_.reset();
    }
}

ComLink::~ComLink() {
    // Remove the link only if it is still ours; someone may have taken comN over.
    if (link_is_ours()) ::unlink(link_path_.c_str());
}

void ComLink::place_link() const {
    // Create under a temporary name and rename over comN, so a program opening
    // the port never sees it missing or half made.
    const std::filesystem::path temp =
        link_path_.parent_path() / (link_path_.filename().string() + ".board_sim." + std::to_string(::getpid()));
    ::unlink(temp.c_str());
    if (::symlink(target_.c_str(), temp.c_str()) != 0) {
        throw std::system_error(errno, std::generic_category(), "symlink " + temp.string());
    }
    if (::rename(temp.c_str(), link_path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw std::system_error(err, std::generic_category(), "rename to " + link_path_.string());
    }
}

bool ComLink::link_is_ours() const {
    std::error_code ec;
    const std::filesystem::path points_to = std::filesystem::read_symlink(link_path_, ec);
    return !ec && points_to == target_;
}

std::optional<std::string> ComLink::on_watch_event() {
    // Drain the events; what changed is checked directly on the link.
    alignas(inotify_event) std::array<char, 4096> buffer{};
    bool folder_gone = false;
    for (;;) {
        const ssize_t n = ::read(watch_.get(), buffer.data(), buffer.size());
        if (n <= 0) break;
        for (ssize_t pos = 0; pos < n;) {
            inotify_event event{};
            std::copy_n(buffer.data() + pos, sizeof event, reinterpret_cast<char*>(&event));
            if (event.mask & (IN_DELETE_SELF | IN_IGNORED)) folder_gone = true;
            pos += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }

    if (folder_gone) {
        watch_.reset();
        return "the dosdevices folder of " + link_path_.string() + " was removed; no longer watching it";
    }
    if (link_is_ours()) return std::nullopt;
    if (restores_ >= max_restores) {
        watch_.reset();
        return link_path_.string() + " keeps being changed by another program; leaving it alone";
    }
    ++restores_;
    try {
        place_link();
    } catch (const std::exception& e) {
        return std::string("could not put back ") + link_path_.string() + ": " + e.what();
    }
    return link_path_.string() + " was changed or removed by another program; linked it to " + target_ + " again";
}

}  // namespace board_sim
