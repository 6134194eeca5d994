#pragma once

#include <optional>
#include <string>

namespace sim {

// The link ${XDG_CONFIG_HOME:-$HOME/.config}/tolvane/comN -> slave path, by which the tool
// finds the simulated port. Only a link this program made (or one already pointing at its own
// slave) is ever removed; anyone else's is left alone.
class ComLink
{
public:
    ComLink() = default;
    ~ComLink() { release(); }
    ComLink(const ComLink &) = delete;
    ComLink &operator=(const ComLink &) = delete;

    // `com` unset: COM1, else the first free number up to tolvane::kLastCom.
    bool claim(const std::string &slavePath, std::optional<int> com, std::string *error);
    void release();
    int number() const { return m_number; }

private:
    bool tryClaim(const std::string &path, const std::string &slavePath, std::string *error);

    std::string m_path;
    std::string m_target;
    int m_number = 0;
};

} // namespace sim
