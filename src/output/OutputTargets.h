#pragma once
// What the output run checks before it writes anything: every file it will
// put in place is reached only through links the writer may follow, and an
// existing file is replaced only when it is one this program writes, or the
// user says so. A map profile is a document people share; its output file
// could name any file of the user's.
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

struct OutputRunOptions {
    // Replace an existing file that does not look like one this program
    // writes without asking (a command line's force option).
    bool replaceForeignFiles = false;
    // Nobody is there to answer a question, so such a file fails the run.
    // Unset: the prompt service decides (an offscreen run cannot answer).
    std::optional<bool> unattended;
};

enum class OutputKind {
    Page,    // the HTML site map page
    Sitemap, // a sitemap or sitemap index
    Image,   // a map image, only ever added where none is
};

struct OutputTarget {
    std::string file;
    OutputKind kind;
};

// Whether the existing file is one the output run may replace as kind: an
// empty file; a page holding the map page's credit line; a file whose root
// element is urlset or sitemapindex; or a copy of one of the map images. A
// file that is missing, or a folder (the write reports it), needs no asking.
bool IsOwnOutputFile(const std::string& file, OutputKind kind);

// Checks every target before any is written: its links are resolved as the
// writer resolves them (ResolveWriteTarget: a planted link raises EFileError),
// and an existing file that is not the program's own is replaced only with
// replaceForeignFiles or when the user answers Yes to "Replace FILE? It does
// not look like a site map."; unattended, or on No, raises EFileError naming
// the file.
void CheckOutputTargets(const std::vector<OutputTarget>& targets, const OutputRunOptions& options);

// The folder the map images are copied from (with its "/").
std::string MapImageSource();

} // namespace tessaly
