#include "CrawlOptionsPage.h"

#include "MapProfile.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace tessaly {

namespace {

QCheckBox* namedCheck(const char* name, const QString& text, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

QSpinBox* namedSpin(const char* name, int low, int high, int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(low, high);
    spin->setGroupSeparatorShown(true);
    spin->setValue(value);
    return spin;
}

// "0 = no limit" shown as words in the box itself.
void noLimitAtZero(QSpinBox* spin) {
    spin->setSpecialValueText("No limit");
}

} // namespace

TCrawlOptionsPage::TCrawlOptionsPage(const TMapProfile& profile, QWidget* parent)
    : QWidget(parent) {
    setObjectName("tsCrawl");
    auto* layout = new QVBoxLayout(this);

    auto* judgment = new QGroupBox(" What the Crawl Leaves Out ", this);
    judgment->setObjectName("gbCrawlJudgment");
    auto* judgmentLayout = new QVBoxLayout(judgment);
    chkObeyRobotsTxt = namedCheck("chkObeyRobotsTxt", "Obey the site's &robots.txt",
                                  profile.ObeyRobotsTxt(), judgment);
    chkLeaveOutNoindex = namedCheck("chkLeaveOutNoindex", "Leave out pages marked &noindex",
                                    profile.LeaveOutNoindex(), judgment);
    chkLeaveOutCanonical =
        namedCheck("chkLeaveOutCanonical", "Leave out pages whose c&anonical address is another",
                   profile.LeaveOutCanonical(), judgment);
    chkFollowNofollow =
        namedCheck("chkFollowNofollow", "Follow nofollow &links and the links of nofollow pages",
                   profile.FollowNofollow(), judgment);
    for (QCheckBox* box :
         {chkObeyRobotsTxt, chkLeaveOutNoindex, chkLeaveOutCanonical, chkFollowNofollow})
        judgmentLayout->addWidget(box);
    layout->addWidget(judgment);

    auto* limits = new QGroupBox(" Limits ", this);
    limits->setObjectName("gbCrawlLimits");
    auto* limitsForm = new QFormLayout(limits);
    spinMaxPages = namedSpin("spinMaxPages", 0, INT_MAX, profile.MaxPages(), limits);
    spinMaxDepth = namedSpin("spinMaxDepth", 0, INT_MAX, profile.MaxDepth(), limits);
    spinMaxMinutes = namedSpin("spinMaxMinutes", 0, INT_MAX, profile.MaxMinutes(), limits);
    for (QSpinBox* spin : {spinMaxPages, spinMaxDepth, spinMaxMinutes})
        noLimitAtZero(spin);
    limitsForm->addRow("Most &pages:", spinMaxPages);
    limitsForm->addRow("Deepest link le&vel from the start page:", spinMaxDepth);
    limitsForm->addRow("Longest crawl in &minutes:", spinMaxMinutes);
    layout->addWidget(limits);

    auto* manners = new QGroupBox(" Politeness ", this);
    manners->setObjectName("gbCrawlPoliteness");
    auto* mannersForm = new QFormLayout(manners);
    spinMaxRate = new QDoubleSpinBox(manners);
    spinMaxRate->setObjectName("spinMaxRate");
    spinMaxRate->setRange(0, TMapProfile::MaxRateLimit);
    spinMaxRate->setDecimals(1);
    spinMaxRate->setSingleStep(1);
    spinMaxRate->setSpecialValueText("No limit");
    spinMaxRate->setValue(profile.MaxRate());
    shownRate_ = spinMaxRate->value();
    profileRate_ = profile.MaxRate();
    spinConnections = namedSpin("spinConnections", TMapProfile::MinConnections,
                                TMapProfile::MaxConnections, profile.Connections(), manners);
    mannersForm->addRow("Most re&quests per second:", spinMaxRate);
    mannersForm->addRow("C&onnections at once:", spinConnections);
    layout->addWidget(manners);

    auto* note = new QLabel("These settings apply when the site is crawled over the web.", this);
    note->setObjectName("lblCrawlNote");
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
}

void TCrawlOptionsPage::Apply(TMapProfile& profile) const {
    profile.setObeyRobotsTxt(chkObeyRobotsTxt->isChecked());
    profile.setLeaveOutNoindex(chkLeaveOutNoindex->isChecked());
    profile.setLeaveOutCanonical(chkLeaveOutCanonical->isChecked());
    profile.setFollowNofollow(chkFollowNofollow->isChecked());
    profile.setMaxPages(spinMaxPages->value());
    profile.setMaxDepth(spinMaxDepth->value());
    profile.setMaxMinutes(spinMaxMinutes->value());
    // The box shows one decimal: an untouched value keeps the profile's own.
    profile.setMaxRate(spinMaxRate->value() == shownRate_ ? profileRate_ : spinMaxRate->value());
    profile.setConnections(spinConnections->value());
}

} // namespace tessaly
