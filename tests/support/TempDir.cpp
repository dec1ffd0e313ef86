#include "support/TempDir.h"

#include "platform/Identifier.h"

#include <system_error>

namespace zanto::test {

TempDir::TempDir(const std::string& prefix) : path_(std::filesystem::temp_directory_path() / (prefix + newIdentifier()))
{
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only folders behind on purpose; make them writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

} // namespace zanto::test
