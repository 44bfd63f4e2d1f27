#include "SitemapJob.h"

#include "FileRoutines.h"
#include "XmlSitemap.h"

#include <utility>

namespace tessaly {

namespace {
struct Cancelled {};
} // namespace

SitemapJob::SitemapJob(const TMapProfile& profile, const TSiteTree& tree) {
    wanted_ = WantsGoogleSiteMap(profile);
    if (!wanted_)
        return;
    fileName_ = GoogleSiteMapFileName(profile.OutputFileName());
    // The file is made here, on the caller's thread that also commits it; an
    // error waits for finish(), so that the page's own error comes first.
    try {
        file_ = std::make_unique<AtomicFileWriter>(fileName_);
    } catch (...) {
        error_ = std::current_exception();
        return;
    }
    worker_ = std::thread([this, &tree] { run(tree); });
}

SitemapJob::~SitemapJob() {
    stop();
}

void SitemapJob::stop() {
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
    file_.reset(); // an uncommitted file leaves the old one whole
}

void SitemapJob::run(const TSiteTree& tree) {
    try {
        WriteGoogleSiteMapBytes(tree, [&](std::string_view bytes) {
            if (cancel_)
                throw Cancelled{};
            file_->write(bytes);
        });
    } catch (const Cancelled&) {
    } catch (...) {
        error_ = std::current_exception();
    }
}

bool SitemapJob::finish(std::string& googleSiteMapFile) {
    if (!wanted_)
        return false;
    if (worker_.joinable())
        worker_.join();
    googleSiteMapFile = fileName_;
    if (error_) {
        file_.reset();
        std::rethrow_exception(std::exchange(error_, nullptr));
    }
    file_->commit();
    file_.reset();
    return true;
}

} // namespace tessaly
