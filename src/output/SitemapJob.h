#pragma once
// The XML sitemap written on a second thread while the HTML page is built,
// so the two largest pieces of the output run overlap on machines with more
// than one core. The sitemap only takes the place of an earlier one when
// finish() is called, after the page was written: a run whose page fails
// leaves the old sitemap as it was, and the page's error is the one shown.
#include "MapProfile.h"
#include "SiteTree.h"
#include "XmlSitemap.h"

#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tessaly {

class SitemapJob {
  public:
    // Starts writing when WantsGoogleSiteMap; otherwise does nothing. The tree must
    // not change until finish() or the job's end.
    SitemapJob(const TMapProfile& profile, const TSiteTree& tree);
    // Stops an unfinished job; the old sitemap stays.
    ~SitemapJob();
    SitemapJob(const SitemapJob&) = delete;
    SitemapJob& operator=(const SitemapJob&) = delete;

    // Waits for the writing to end and puts the files in place; sets
    // sitemapFiles to them (the chosen file last). Returns whether anything
    // was written; raises EFileError when it could not be.
    bool finish(std::vector<std::string>& sitemapFiles);
    // Waits for the writing to end and names the files finish() will put in
    // place, the chosen one last; nothing when the job is not wanted or
    // failed (its error still waits for finish()).
    std::vector<std::string> plannedFiles();

  private:
    void run(const TSiteTree& tree);
    void stop();
    bool wanted_ = false;
    std::unique_ptr<SitemapWriter> writer_;
    std::exception_ptr error_;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
};

} // namespace tessaly
