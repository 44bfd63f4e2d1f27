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
    // The first file is made here, on the caller's thread that also commits
    // it; an error waits for finish(), so that the page's own error comes first.
    try {
        writer_ = std::make_unique<SitemapWriter>(profile);
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
    writer_.reset(); // uncommitted files leave the old ones whole
}

void SitemapJob::run(const TSiteTree& tree) {
    try {
        writer_->write(tree, [&] {
            if (cancel_)
                throw Cancelled{};
        });
    } catch (const Cancelled&) {
    } catch (...) {
        error_ = std::current_exception();
    }
}

std::vector<std::string> SitemapJob::plannedFiles() {
    if (!wanted_)
        return {};
    if (worker_.joinable())
        worker_.join();
    if (error_ || !writer_)
        return {};
    return writer_->plannedFiles();
}

bool SitemapJob::finish(std::vector<std::string>& sitemapFiles) {
    if (!wanted_)
        return false;
    if (worker_.joinable())
        worker_.join();
    if (error_) {
        writer_.reset();
        std::rethrow_exception(std::exchange(error_, nullptr));
    }
    sitemapFiles = writer_->commit();
    writer_.reset();
    return true;
}

} // namespace tessaly
