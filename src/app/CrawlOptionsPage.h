#pragma once
// The "Crawl" page of the profile options: what a crawl of the site leaves
// out, how far it goes and how hard it presses the server. It edits copies;
// the profile changes only through Apply (on the dialog's OK).
#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace tessaly {

class TMapProfile;

class TCrawlOptionsPage : public QWidget {
    Q_OBJECT
  public:
    explicit TCrawlOptionsPage(const TMapProfile& profile, QWidget* parent = nullptr);
    // Writes the page's values to the profile.
    void Apply(TMapProfile& profile) const;

  private:
    QCheckBox* chkObeyRobotsTxt;
    QCheckBox* chkLeaveOutNoindex;
    QCheckBox* chkLeaveOutCanonical;
    QCheckBox* chkFollowNofollow;
    QSpinBox* spinMaxPages;
    QSpinBox* spinMaxDepth;
    QSpinBox* spinMaxMinutes;
    QDoubleSpinBox* spinMaxRate;
    QSpinBox* spinConnections;
    // The rate as first shown: when it is still shown, the profile's own
    // value (which may have more decimals) is kept.
    double shownRate_ = 0;
    double profileRate_ = 0;
};

} // namespace tessaly
