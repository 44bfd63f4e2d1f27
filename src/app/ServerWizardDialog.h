#pragma once
// "Server Profile Wizard": five steps that name a new site and give its
// login, host and folder.
#include "SiteList.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tessaly {

class TwinServerWizard : public QDialog {
    Q_OBJECT
  public:
    // profileExists tells whether a name is taken; store: where the proxy
    // window keeps its values.
    TwinServerWizard(std::function<bool(const std::string&)> profileExists, TUserStore store,
                     QWidget* parent = nullptr);

    // Shows the wizard modally from step 1, keeping what was typed before;
    // true after Finish.
    bool Start();
    TWizardAnswers Answers() const;
    int CurrentStep() const { return step_; }

    static constexpr const char* kAnonymousPassword = "tessaly-user@";

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void ShowStepPage(int step);
    void NextClick();
    void BackClick();
    void UpdateNext();
    void AnonClick();

    std::function<bool(const std::string&)> profileExists_;
    TUserStore store_;
    int step_ = 1;
    QStackedWidget* pages;
    QLabel* lblHeading;
    QLabel* lblSubtitle;
    QLineEdit* eNickname;
    QLineEdit* eUser;
    QLineEdit* ePass;
    QCheckBox* cAnon;
    QCheckBox* cSavePass;
    QLineEdit* eHost;
    QLineEdit* eRemotePath;
    QPushButton* btnNoProxy;
    QPushButton* btnYesProxy;
    QPushButton* btnBack;
    QPushButton* btnNext;
    QPushButton* btnCancel;
};

} // namespace tessaly
