// Makes a pty visible to Win32 programs under Wine as COM port N.
//
// Wine maps `\\.\ComN` to the Unix path that the symlink
// $WINEPREFIX/dosdevices/comN points to, looked up at each open. Two ways
// exist to get such a link:
//   1. create the symlink directly (what this class does), or
//   2. set HKLM\Software\Wine\Ports "COMn" = "/dev/pts/N" with `wine reg add`,
//      after which Wine's mount manager writes the symlink at its next start.
// The registry route needs a Wine process per change (seconds), only takes
// effect when the prefix's wineserver starts afresh, and leaves a value behind
// that rewrites comN to a stale pty on later starts. The direct symlink works
// at once, for running and future wineservers alike, and needs no Wine here.
// Observed with Wine 8: wineboot -u and fresh wineserver starts keep an
// existing com5 link unless a Ports registry value names that port, in which
// case the registry value wins. To stay robust against such rewrites the
// link's directory is watched with inotify and the link is put back whenever
// something else changes or removes it while the simulator runs.
//
// The prefix must exist (with its dosdevices folder) before the link is made.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "unique_fd.hpp"

namespace board_sim {

class ComLink {
public:
    // Points dosdevices/comN at `target`, replacing whatever comN was.
    // Throws std::system_error / std::runtime_error on failure.
    ComLink(const std::filesystem::path& wine_prefix, int com_number, std::string target);
    ~ComLink();

    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    const std::filesystem::path& path() const { return link_path_; }
    const std::string& target() const { return target_; }

    // inotify fd on the dosdevices folder (readable when it changes), or -1.
    int watch_fd() const { return watch_.get(); }

    // Reads pending change events and puts the link back if it no longer
    // points at the target. Returns a message for the user when something was
    // done about it.
    std::optional<std::string> on_watch_event();

private:
    void place_link() const;
    bool link_is_ours() const;

    std::filesystem::path link_path_;
    std::string target_;
    UniqueFd watch_;
    int restores_ = 0;
};

}  // namespace board_sim
