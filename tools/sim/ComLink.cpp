#include "ComLink.h"

#include "core/ComLinks.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace sim {

namespace {
std::string linkTarget(const std::string &path)
{
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(path, ec);
    return ec ? std::string() : target.string();
}
} // namespace

bool ComLink::claim(const std::string &slavePath, std::optional<int> com, std::string *error)
{
    const std::string directory = tolvane::linkDirectory();
    if (directory.empty()) {
        *error = "neither XDG_CONFIG_HOME nor HOME names a folder for the COM links";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        *error = "cannot create " + directory + ": " + ec.message();
        return false;
    }
    const int first = com.value_or(tolvane::kFirstCom);
    const int last = com.value_or(tolvane::kLastCom);
    for (int n = first; n <= last; ++n) {
        const std::string path = tolvane::comLinkPath(n);
        if (tryClaim(path, slavePath, error)) {
            m_number = n;
            return true;
        }
        if (!error->empty())
            return false;
    }
    if (com) {
        const std::string path = tolvane::comLinkPath(*com);
        *error = "COM" + std::to_string(*com) + " is taken: " + path + " -> " + linkTarget(path) +
                 " (remove it if it is stale)";
    } else {
        *error = "no free COM number from " + std::to_string(tolvane::kFirstCom) + " to " +
                 std::to_string(tolvane::kLastCom) + " in " + directory;
    }
    return false;
}

bool ComLink::tryClaim(const std::string &path, const std::string &slavePath, std::string *error)
{
    if (::symlink(slavePath.c_str(), path.c_str()) != 0) {
        if (errno != EEXIST) {
            *error = "cannot create " + path + ": " + std::strerror(errno);
            return false;
        }
        // A link left by an earlier run that happened to get the same pty is ours now.
        if (linkTarget(path) != slavePath)
            return false;
    }
    m_path = path;
    m_target = slavePath;
    return true;
}

void ComLink::release()
{
    if (!m_path.empty() && linkTarget(m_path) == m_target)
        ::unlink(m_path.c_str());
    m_path.clear();
}

} // namespace sim
