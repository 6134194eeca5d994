#pragma once

// COM numbers and the per-user links that name their devices, shared by the tool and the
// simulated module. Plain C++, as the simulated module links no Qt.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tolvane {

inline constexpr int kFirstCom = 1;
inline constexpr int kLastCom = 20;

// ${XDG_CONFIG_HOME:-$HOME/.config}/tolvane, read anew on every call. A relative
// XDG_CONFIG_HOME is invalid and ignored; empty when HOME is no absolute path either.
inline std::string linkDirectory()
{
    std::filesystem::path base;
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        base = config;
    else if (const char *home = std::getenv("HOME"); home && home[0] == '/')
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return (base.lexically_normal() / "tolvane").string();
}

// The link for COM n; empty when there is no link directory.
inline std::string comLinkPath(int n)
{
    const std::string directory = linkDirectory();
    return directory.empty() ? directory : directory + "/com" + std::to_string(n);
}

} // namespace tolvane
