#pragma once
// "My Sites": the site manager. A thin form over the site list: the tree
// shows one node per site, the settings page edits the site on show.
#include "SiteList.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessaly {

class TwinServerWizard;

class TwinServers : public QDialog {
    Q_OBJECT
  public:
    explicit TwinServers(TServerStore store = TServerStore(), QWidget* parent = nullptr);
    ~TwinServers() override;

    // The caption of btnOk, which its opener chooses.
    void SetOkCaption(const QString& caption);
    // The label of the selected node, or empty.
    std::string SelectedName() const;
    // True when the window was left through btnOk.
    bool ClosedByOk() const { return closedByOk_; }

    const TSiteList& Sites() const { return list_; }
    TwinServerWizard* Wizard() const { return wizard_; }

  protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void BuildSettings(QWidget* page);
    void tvServersChange();
    void ShowSiteProfile(int index);
    void EnableSettings(bool on);
    void FieldChanged();
    void AnonymousClick();
    void ProtocolChosen(int index);
    void OkClick();
    void CloseClick();
    bool SaveProfiles();
    void AddClick();
    void AddWizardProfile();
    void DeleteClick();
    void LabelEdited(QTreeWidgetItem* item, const QString& text);
    void StartLabelEdit();
    TServerData* Current();

    TSiteList list_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    int current_ = -1;
    bool loading_ = false;
    bool activated_ = false;
    bool closedByOk_ = false;
    bool wizardPending_ = false;
    TWizardAnswers wizardAnswers_;
    TwinServerWizard* wizard_ = nullptr;
    QTimer* addTimer_;
    QTimer* editTimer_;
    std::vector<QWidget*> settings_;

  public:
    // Controls, named as the user interface names them.
    QTreeWidget* tvServers;
    QPushButton* btnAdd;
    QPushButton* btnDelete;
    QLineEdit* txtHostName;
    QLineEdit* txtUsername;
    QLineEdit* txtPassword;
    QCheckBox* chkAnonymous;
    QCheckBox* chkPassiveMode;
    QCheckBox* chkSavePassword;
    QCheckBox* noop;
    QLineEdit* txtPort;
    QLineEdit* txtTimeout;
    QSpinBox* UpDown3;
    QComboBox* protocolDrop;
    QLineEdit* txtHostDirName;
    QLineEdit* txtLocalDirName;
    QPushButton* btnBrowseLocal;
    QLineEdit* txtComment;
    QPushButton* btnOk;
    QPushButton* btnClose;
};

} // namespace tessaly
