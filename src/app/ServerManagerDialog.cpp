#include "ServerManagerDialog.h"

#include "Prompts.h"
#include "ServerWizardDialog.h"
#include "TextConv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <charconv>
#include <optional>

namespace tessaly {

namespace {

// Hands the text of a finished label edit to the manager instead of writing
// it into the tree: the manager decides whether the rename stands.
class LabelEditDelegate : public QStyledItemDelegate {
  public:
    LabelEditDelegate(std::function<void(int, const QString&)> done, QObject* parent)
        : QStyledItemDelegate(parent), done_(std::move(done)) {}
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor))
            done_(index.row(), edit->text());
    }

  private:
    std::function<void(int, const QString&)> done_;
};

std::optional<int> StrictInt(const QString& text) {
    std::string s = ss(text);
    int value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size())
        return std::nullopt;
    return value;
}

} // namespace

TwinServers::TwinServers(TServerStore store, QWidget* parent)
    : QDialog(parent), list_(std::move(store)) {
    setObjectName("winServers");
    setWindowTitle("My Sites");
    setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* sitesBox = new QGroupBox("My Sites", this);
    sitesBox->setObjectName("tsSites");
    tvServers = new QTreeWidget(sitesBox);
    tvServers->setObjectName("tvServers");
    tvServers->setHeaderHidden(true);
    tvServers->setRootIsDecorated(false);
    tvServers->setEditTriggers(QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    // An open label editor commits when it loses focus, which can happen while
    // the window is being destroyed: the delegate then no longer calls in.
    tvServers->setItemDelegate(new LabelEditDelegate(
        [this, alive = alive_](int row, const QString& text) {
            if (*alive)
                LabelEdited(tvServers->topLevelItem(row), text);
        },
        tvServers));
    btnAdd = new QPushButton("Add", sitesBox);
    btnAdd->setObjectName("btnAdd");
    btnDelete = new QPushButton("Delete", sitesBox);
    btnDelete->setObjectName("btnDelete");
    auto* left = new QVBoxLayout(sitesBox);
    left->addWidget(tvServers);
    auto* leftButtons = new QHBoxLayout;
    leftButtons->addWidget(btnAdd);
    leftButtons->addWidget(btnDelete);
    left->addLayout(leftButtons);

    auto* settingsBox = new QGroupBox("Settings", this);
    settingsBox->setObjectName("tsSettings");
    BuildSettings(settingsBox);

    btnOk = new QPushButton("Connect", this);
    btnOk->setObjectName("btnOk");
    QFont bold = btnOk->font();
    bold.setBold(true);
    btnOk->setFont(bold);
    btnClose = new QPushButton("Close", this);
    btnClose->setObjectName("btnClose");
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnOk);
    bottom->addWidget(btnClose);
    auto* top = new QHBoxLayout;
    top->addWidget(sitesBox, 1);
    top->addWidget(settingsBox, 2);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(bottom);
    // Enter is handled by the fields (it acts as btnOk there), never by a
    // default button, so a label edit's Enter only ends the edit.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);

    addTimer_ = new QTimer(this);
    addTimer_->setSingleShot(true);
    addTimer_->setInterval(100);
    editTimer_ = new QTimer(this);
    editTimer_->setSingleShot(true);
    editTimer_->setInterval(100);
    connect(addTimer_, &QTimer::timeout, this, &TwinServers::AddWizardProfile);
    connect(editTimer_, &QTimer::timeout, this, &TwinServers::StartLabelEdit);
    connect(tvServers, &QTreeWidget::currentItemChanged, this, &TwinServers::tvServersChange);
    connect(btnAdd, &QPushButton::clicked, this, &TwinServers::AddClick);
    connect(btnDelete, &QPushButton::clicked, this, &TwinServers::DeleteClick);
    connect(btnOk, &QPushButton::clicked, this, &TwinServers::OkClick);
    connect(btnClose, &QPushButton::clicked, this, &TwinServers::CloseClick);
    tvServers->installEventFilter(this);

    std::string why;
    if (!list_.Load(&why))
        messageDlg("The site profiles could not be read.\n\n" + why, "Error", PromptIcon::Error,
                   Ok);
    for (const TServerData& site : list_.Items()) {
        auto* node = new QTreeWidgetItem(tvServers, QStringList(qs(site.ItemName)));
        node->setFlags(node->flags() | Qt::ItemIsEditable);
    }
    tvServers->setCurrentItem(nullptr);
    EnableSettings(false);
}

TwinServers::~TwinServers() {
    *alive_ = false;
}

void TwinServers::BuildSettings(QWidget* page) {
    auto* grid = new QGridLayout(page);
    int row = 0;
    auto add = [&](QWidget* control, const char* name, const char* label) {
        control->setObjectName(name);
        if (label) {
            auto* l = new QLabel(label, page);
            l->setObjectName(QString("lbl") + name);
            grid->addWidget(l, row, 0);
            settings_.push_back(l);
        }
        grid->addWidget(control, row++, 1);
        settings_.push_back(control);
    };
    txtHostName = new QLineEdit(page);
    add(txtHostName, "txtHostName", "Host Name");
    txtUsername = new QLineEdit(page);
    add(txtUsername, "txtUsername", "Username");
    txtPassword = new QLineEdit(page);
    txtPassword->setEchoMode(QLineEdit::Password);
    add(txtPassword, "txtPassword", "Password");
    chkAnonymous = new QCheckBox("Anonymous", page);
    add(chkAnonymous, "chkAnonymous", nullptr);
    chkPassiveMode = new QCheckBox("Passive Mode", page);
    add(chkPassiveMode, "chkPassiveMode", nullptr);
    chkSavePassword = new QCheckBox("Save Password", page);
    add(chkSavePassword, "chkSavePassword", nullptr);
    noop = new QCheckBox("Stay Connected", page);
    add(noop, "noop", nullptr);
    txtPort = new QLineEdit("21", page);
    add(txtPort, "txtPort", "Port");
    auto* timeoutBox = new QWidget(page);
    auto* timeoutRow = new QHBoxLayout(timeoutBox);
    timeoutRow->setContentsMargins(0, 0, 0, 0);
    txtTimeout = new QLineEdit("60", timeoutBox);
    txtTimeout->setObjectName("txtTimeout");
    txtTimeout->setMaxLength(3);
    UpDown3 = new QSpinBox(timeoutBox);
    UpDown3->setObjectName("UpDown3");
    UpDown3->setRange(5, 120);
    UpDown3->setValue(60);
    // Only the arrows show: the number stands in txtTimeout beside them.
    UpDown3->setStyleSheet("QSpinBox { color: transparent; selection-color: transparent; "
                           "background: transparent; border: none; }");
    UpDown3->setFixedWidth(22);
    timeoutRow->addWidget(txtTimeout);
    timeoutRow->addWidget(UpDown3);
    settings_.push_back(txtTimeout);
    settings_.push_back(UpDown3);
    add(timeoutBox, "pnlTimeout", "Timeout (secs)");
    protocolDrop = new QComboBox(page);
    for (const char* name : kProtocolNames)
        protocolDrop->addItem(name);
    add(protocolDrop, "protocolDrop", "Connection Type:");
    txtHostDirName = new QLineEdit(page);
    add(txtHostDirName, "txtHostDirName", "Initial Host Folder");
    auto* localBox = new QWidget(page);
    auto* localRow = new QHBoxLayout(localBox);
    localRow->setContentsMargins(0, 0, 0, 0);
    txtLocalDirName = new QLineEdit(localBox);
    txtLocalDirName->setObjectName("txtLocalDirName");
    btnBrowseLocal = new QPushButton("...", localBox);
    btnBrowseLocal->setObjectName("btnBrowseLocal");
    btnBrowseLocal->setToolTip("Browse");
    btnBrowseLocal->setFixedWidth(32);
    localRow->addWidget(txtLocalDirName);
    localRow->addWidget(btnBrowseLocal);
    settings_.push_back(txtLocalDirName);
    settings_.push_back(btnBrowseLocal);
    add(localBox, "pnlLocalDir", "Initial Local Folder");
    txtComment = new QLineEdit(page);
    add(txtComment, "txtComment", "Comment");

    for (QLineEdit* e : {txtHostName, txtUsername, txtPassword, txtPort, txtTimeout, txtHostDirName,
                         txtLocalDirName, txtComment}) {
        connect(e, &QLineEdit::textChanged, this, &TwinServers::FieldChanged);
        connect(e, &QLineEdit::returnPressed, this, &TwinServers::OkClick);
    }
    for (QCheckBox* c : {chkPassiveMode, chkSavePassword, noop})
        connect(c, &QCheckBox::toggled, this, &TwinServers::FieldChanged);
    for (QCheckBox* c : {chkAnonymous, chkPassiveMode, chkSavePassword})
        c->installEventFilter(this);
    connect(chkAnonymous, &QCheckBox::clicked, this, &TwinServers::AnonymousClick);
    connect(protocolDrop, &QComboBox::activated, this, &TwinServers::ProtocolChosen);
    connect(UpDown3, &QSpinBox::valueChanged, this, [this](int v) {
        if (!loading_)
            txtTimeout->setText(QString::number(v));
    });
    connect(btnBrowseLocal, &QPushButton::clicked, this, [this] {
        FileRequest req;
        req.kind = FileRequest::Folder;
        req.caption = "Browse";
        req.initialFolder = ss(txtLocalDirName->text());
        if (std::optional<std::string> folder = prompts().chooseFile(req))
            txtLocalDirName->setText(qs(*folder));
    });
}

void TwinServers::SetOkCaption(const QString& caption) {
    btnOk->setText(caption);
}

std::string TwinServers::SelectedName() const {
    QTreeWidgetItem* item = tvServers->currentItem();
    return item ? ss(item->text(0)) : std::string();
}

TServerData* TwinServers::Current() {
    if (current_ < 0 || size_t(current_) >= list_.size())
        return nullptr;
    return &list_.Items()[size_t(current_)];
}

void TwinServers::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (activated_)
        return;
    activated_ = true;
    // With no sites yet, the wizard opens at once (queued on this window, so
    // it never runs after the window is gone).
    if (list_.size() == 0)
        QTimer::singleShot(0, this, &TwinServers::AddClick);
}

void TwinServers::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        CloseClick();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TwinServers::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched != tvServers) {
        int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OkClick();
            return true;
        }
    }
    if (e->type() == QEvent::KeyRelease && watched == tvServers &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete && Current() && !loading_) {
        DeleteClick();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TwinServers::tvServersChange() {
    QTreeWidgetItem* item = tvServers->currentItem();
    ShowSiteProfile(item ? tvServers->indexOfTopLevelItem(item) : -1);
}

void TwinServers::EnableSettings(bool on) {
    for (QWidget* w : settings_)
        w->setEnabled(on);
    btnDelete->setEnabled(on);
    btnOk->setEnabled(on);
}

void TwinServers::ShowSiteProfile(int index) {
    current_ = index;
    TServerData* site = Current();
    if (!site) {
        current_ = -1;
        EnableSettings(false);
        return;
    }
    EnableSettings(true);
    loading_ = true;
    txtHostName->setText(qs(site->HostName));
    txtUsername->setText(qs(site->Username));
    txtPassword->setText(qs(site->Password));
    chkAnonymous->setChecked(site->Anonymous);
    chkPassiveMode->setChecked(site->PassiveMode);
    chkSavePassword->setChecked(site->SavePassword);
    noop->setChecked(site->UseNoop);
    txtPort->setText(QString::number(site->Port));
    txtTimeout->setText(QString::number(site->Timeout));
    UpDown3->setValue(site->Timeout);
    protocolDrop->setCurrentIndex(site->Secure ? 1 : site->Protocol);
    txtHostDirName->setText(qs(site->HostDirName));
    txtLocalDirName->setText(qs(site->LocalDirName));
    txtComment->setText(qs(site->Comment));
    loading_ = false;
}

void TwinServers::FieldChanged() {
    TServerData* site = Current();
    if (loading_ || !site)
        return;
    // A host is never empty: blank text leaves the host as it was.
    if (!txtHostName->text().trimmed().isEmpty())
        site->HostName = ss(txtHostName->text().trimmed());
    site->Username = ss(txtUsername->text());
    site->Password = ss(txtPassword->text());
    site->PassiveMode = chkPassiveMode->isChecked();
    site->SavePassword = chkSavePassword->isChecked();
    site->UseNoop = noop->isChecked();
    if (std::optional<int> port = StrictInt(txtPort->text()); port && *port >= 1 && *port <= 65535)
        site->Port = *port;
    if (std::optional<int> t = StrictInt(txtTimeout->text()); t && *t >= 0) {
        site->Timeout = *t;
        loading_ = true;
        UpDown3->setValue(*t);
        loading_ = false;
    }
    site->HostDirName = ss(txtHostDirName->text());
    site->LocalDirName = ss(txtLocalDirName->text());
    site->Comment = ss(txtComment->text());
}

void TwinServers::AnonymousClick() {
    TServerData* site = Current();
    if (loading_ || !site)
        return;
    site->Anonymous = chkAnonymous->isChecked();
    if (site->Anonymous) {
        txtUsername->setText("anonymous");
        txtPassword->setText(TwinServerWizard::kAnonymousPassword);
    }
}

void TwinServers::ProtocolChosen(int index) {
    TServerData* site = Current();
    if (loading_ || !site)
        return;
    site->Protocol = index;
    site->Secure = false;
    // The kind's own port, unless the person typed one of their own.
    const std::optional<int> shown = StrictInt(txtPort->text());
    txtPort->setText(QString::number(DefaultPortFor(index, shown.value_or(0))));
}

bool TwinServers::SaveProfiles() {
    // A site the wizard just made is kept even when the window closes before
    // its node was added.
    if (wizardPending_) {
        addTimer_->stop();
        AddWizardProfile();
    }
    std::string message;
    if (list_.Save(message))
        return true;
    messageDlg(message, "Error", PromptIcon::Error, Ok);
    return false;
}

void TwinServers::OkClick() {
    SaveProfiles();
    closedByOk_ = true;
    done(QDialog::Accepted);
}

void TwinServers::CloseClick() {
    SaveProfiles();
    done(QDialog::Rejected);
}

void TwinServers::AddClick() {
    if (!wizard_)
        wizard_ = new TwinServerWizard(
            [this](const std::string& name) { return list_.ProfileExists(name); },
            list_.Store().Store(), this);
    // The wizard runs modally over the manager. The manager stays shown:
    // hiding a dialog that runs modally would end its run, and with it the
    // site just made.
    if (wizard_->Start()) {
        wizardAnswers_ = wizard_->Answers();
        wizardPending_ = true;
        addTimer_->start();
    }
}

void TwinServers::AddWizardProfile() {
    if (!wizardPending_)
        return;
    wizardPending_ = false;
    const TServerData& site = list_.AddWizardProfile(wizardAnswers_);
    auto* node = new QTreeWidgetItem(tvServers, QStringList(qs(site.ItemName)));
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    tvServers->setCurrentItem(node);
    tvServers->scrollToItem(node);
}

void TwinServers::DeleteClick() {
    TServerData* site = Current();
    if (!site)
        return;
    PromptMessage ask{"Confirm Deletion",
                      "Are you sure you want to delete the site profile " + site->ItemName + "?",
                      PromptIcon::Question, Yes | No, No};
    if (prompts().message(ask) == No)
        return;
    int index = current_;
    std::string message;
    if (!list_.Delete(size_t(index), message)) {
        messageDlg(message, "Error", PromptIcon::Error, Ok);
        return;
    }
    current_ = -1;
    delete tvServers->takeTopLevelItem(index);
    tvServersChange();
}

void TwinServers::LabelEdited(QTreeWidgetItem* item, const QString& text) {
    int index = tvServers->indexOfTopLevelItem(item);
    if (index < 0)
        return;
    std::string message;
    if (list_.Rename(size_t(index), ss(text), message)) {
        item->setText(0, text);
        return;
    }
    showMessage(message);
    // A refused name: the label is offered for editing again.
    if (message.rfind(kSaveProfilesError, 0) != 0)
        editTimer_->start();
}

void TwinServers::StartLabelEdit() {
    if (QTreeWidgetItem* item = tvServers->currentItem())
        tvServers->editItem(item);
}

} // namespace tessaly
