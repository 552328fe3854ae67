#include "app/worlds.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/readfile.h"

namespace {
constexpr const char* kDefaultWorld = "test.scn";
constexpr const char* kGallery = "worlds/";

// The same file by two names: "worlds/cloth.scn" among the shipped files and the path a
// user gave on the command line.
bool sameFile(const std::string& shippedName, const std::string& named)
{
    std::error_code error;
    const auto a = std::filesystem::weakly_canonical(readPath(shippedName.c_str()), error);
    if (error) return false;
    const auto b = std::filesystem::weakly_canonical(named, error);
    return !error && a == b;
}
}  // namespace

std::string WorldList::name(const std::string& file)
{
    const std::string prefix = kGallery;
    if (file.compare(0, prefix.size(), prefix) != 0 || file.size() <= prefix.size() + 4) return {};
    if (file.compare(file.size() - 4, 4, ".scn") != 0) return {};
    const std::string stem = file.substr(prefix.size(), file.size() - prefix.size() - 4);
    return stem.find('/') == std::string::npos ? stem : std::string();
}

void WorldList::load(const std::string& start)
{
    // The program opens the file as named; a gallery world named so stays in its place.
    files = {kDefaultWorld};
    std::vector<std::string> gallery;
    std::error_code error;
    // A missing or unreadable folder is a gallery of none.
    for (std::filesystem::directory_iterator it(readPath(kGallery), error), end; !error && it != end;
         it.increment(error)) {
        const std::string file = kGallery + it->path().filename().string();
        if (it->is_regular_file(error) && !name(file).empty()) gallery.push_back(file);
    }
    std::sort(gallery.begin(), gallery.end());
    files.insert(files.end(), gallery.begin(), gallery.end());
    const auto at = std::find_if(files.begin(), files.end(), [&](const std::string& f) { return sameFile(f, start); });
    current = static_cast<size_t>(at - files.begin());
    if (current == files.size()) {
        files.insert(files.begin(), start);
        current = 0;
    }
}

const std::string& WorldList::step(int by)
{
    const long n = static_cast<long>(files.size());
    current = static_cast<size_t>(((static_cast<long>(current) + by) % n + n) % n);
    return files[current];
}

std::string WorldList::title() const
{
    const std::string gallery = files.empty() ? std::string() : name(files[current]);
    return gallery.empty() ? "Tessivane" : "Tessivane: " + gallery;
}
