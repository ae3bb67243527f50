#include "app/FileAttributes.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// The names of a file's extended attributes; none on a file system without them.
std::optional<std::vector<std::string>> attributeNames(int fd) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP ? std::optional(std::vector<std::string>{}) : std::nullopt;
    std::string list(std::size_t(size), '\0');
    const ssize_t listed = ::flistxattr(fd, list.data(), list.size());
    if (listed < 0)
        return std::nullopt; // one was added meanwhile
    std::vector<std::string> names;
    for (std::size_t at = 0; at < std::size_t(listed); at += names.back().size() + 1)
        names.emplace_back(list.c_str() + at);
    return names;
}

std::optional<std::string> attributeValue(int fd, const std::string& name) {
    const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0)
        return std::nullopt;
    std::string value(std::size_t(size), '\0');
    const ssize_t read = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (read < 0)
        return std::nullopt;
    value.resize(std::size_t(read));
    return value;
}

// Gives `to` exactly the attributes of `from`: the old file's access list replaces the default
// list that the new file took from its folder, and one the old file did not have is removed.
bool copyExtendedAttributes(int from, int to) {
    const auto wanted = attributeNames(from);
    const auto present = attributeNames(to);
    if (!wanted || !present)
        return false;
    for (const std::string& name : *present)
        if (std::find(wanted->begin(), wanted->end(), name) == wanted->end() &&
            ::fremovexattr(to, name.c_str()) != 0)
            return false;
    for (const std::string& name : *wanted) {
        const std::optional<std::string> value = attributeValue(from, name);
        if (!value)
            return false;
        // one the system gives every file (a security label) may already be right
        if (attributeValue(to, name) != value &&
            ::fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0)
            return false;
    }
    return true;
}

} // namespace

bool TakeOverFileAttributes(int from, int to, const struct stat& st) {
    // the mode last: with an access list its group bits are the list's mask
    return ::fchown(to, st.st_uid, st.st_gid) == 0 && copyExtendedAttributes(from, to) &&
           ::fchmod(to, st.st_mode & 07777) == 0;
}
