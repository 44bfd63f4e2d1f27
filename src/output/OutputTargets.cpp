#include "OutputTargets.h"

#include "FileRoutines.h"
#include "Folders.h"
#include "MapHtml.h"
#include "Prompts.h"
#include "UploadFileList.h"
#include "XmlSitemap.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {
// How much of each end of a page is looked at for the credit line; a map
// page has it in its last lines, however large the map.
constexpr std::size_t kPageWindow = 64 * 1024;
// No map image is larger than this.
constexpr std::int64_t kLargestImage = 64 * 1024;

std::string readAt(int fd, std::size_t size, off_t offset) {
    std::string out(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd, out.data() + got, size - got, offset + off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    out.resize(got);
    return out;
}

bool holdsCreditLine(std::string_view text) {
    return text.find("Made with Quorvane") != std::string_view::npos &&
           text.find(kCreditAddress) != std::string_view::npos;
}

bool isMapImageCopy(int fd, std::int64_t size) {
    if (size > kLargestImage)
        return false;
    const std::string bytes = readAt(fd, std::size_t(size), 0);
    const std::string source = MapImageSource();
    for (const char* name : kMapImages) {
        try {
            if (ReadFileText(source + name, kLargestImage) == bytes)
                return true;
        } catch (const EFileError&) {
        }
    }
    return false;
}
} // namespace

std::string MapImageSource() {
    std::string source = MapImageFolder();
    if (!FileExists(source + kMapImages[0]))
        source = ProgramFolder();
    return source;
}

bool IsOwnOutputFile(const std::string& file, OutputKind kind) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return true;
    if (S_ISREG(st.st_mode) && st.st_size == 0)
        return true;
    // Not blocking: a pipe named like the page must not hang the run.
    int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const std::size_t size = std::size_t(st.st_size);
    if (size == 0)
        return true;
    switch (kind) {
    case OutputKind::Page: {
        if (holdsCreditLine(readAt(fd, std::min(size, kPageWindow), 0)))
            return true;
        if (size > kPageWindow &&
            holdsCreditLine(readAt(fd, kPageWindow, off_t(size - kPageWindow))))
            return true;
        break;
    }
    case OutputKind::Sitemap:
        if (IsSitemapFile(file))
            return true;
        break;
    case OutputKind::Image:
        return true; // images are only added, never replaced
    }
    return isMapImageCopy(fd, st.st_size);
}

void CheckOutputTargets(const std::vector<OutputTarget>& targets, const OutputRunOptions& options) {
    const bool unattended = options.unattended.value_or(!prompts().interactive());
    for (const OutputTarget& t : targets) {
        const std::string target = ResolveWriteTarget(t.file);
        if (options.replaceForeignFiles || IsOwnOutputFile(target, t.kind))
            continue;
        if (unattended)
            throw EFileError("Cannot replace \"" + t.file +
                             "\": it does not look like a site map. Nothing was written.");
        PromptMessage question{"Replace File?",
                               "Replace " + t.file + "? It does not look like a site map.",
                               PromptIcon::Warning, Yes | No, No};
        if (prompts().message(question) != Yes)
            throw EFileError("\"" + t.file + "\" was not replaced. Nothing was written.");
    }
}

} // namespace tessaly
