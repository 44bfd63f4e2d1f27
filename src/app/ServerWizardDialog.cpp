#include "ServerWizardDialog.h"

#include "Prompts.h"
#include "ProxyDialog.h"
#include "TextConv.h"

#include <QCheckBox>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessaly {

namespace {

const char* const kSubtitles[] = {
    "Server Profile Name", "Username and Password", "Hostname", "Advanced Settings",
    "Congratulations, you have sucessfully completed the server setup."};

QLabel* BoldLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setWordWrap(true);
    return l;
}

} // namespace

TwinServerWizard::TwinServerWizard(std::function<bool(const std::string&)> profileExists,
                                   TUserStore store, QWidget* parent)
    : QDialog(parent), profileExists_(std::move(profileExists)), store_(std::move(store)) {
    setObjectName("winServerWizard");
    setWindowTitle("Server Profile Wizard");
    lblHeading = BoldLabel({}, this);
    lblHeading->setObjectName("lblHeading");
    lblSubtitle = new QLabel(this);
    lblSubtitle->setObjectName("lblSubtitle");
    pages = new QStackedWidget(this);
    pages->setObjectName("pcWizard");

    auto page = [&](const char* question) {
        auto* w = new QWidget(pages);
        auto* v = new QVBoxLayout(w);
        if (question)
            v->addWidget(BoldLabel(question, w));
        pages->addWidget(w);
        return v;
    };
    auto edit = [&](QVBoxLayout* v, const char* name, const char* label) {
        auto* e = new QLineEdit(pages);
        e->setObjectName(name);
        v->addWidget(new QLabel(label, pages));
        v->addWidget(e);
        return e;
    };
    QVBoxLayout* p1 = page("What would you like to name this server profile?");
    eNickname = edit(p1, "eNickname", "Profile Name: (example: My Home Site)");
    p1->addStretch();
    QVBoxLayout* p2 = page("What is your username and password used to connect to this server?");
    eUser = edit(p2, "eUser", "Username:");
    ePass = edit(p2, "ePass", "Password:");
    ePass->setEchoMode(QLineEdit::Password);
    cAnon = new QCheckBox("Anonymous", pages);
    cAnon->setObjectName("cAnon");
    cSavePass = new QCheckBox("Save Password", pages);
    cSavePass->setObjectName("cSavePass");
    cSavePass->setChecked(true);
    p2->addWidget(cAnon);
    p2->addWidget(cSavePass);
    p2->addStretch();
    QVBoxLayout* p3 = page("What is the default Hostname for this server?");
    eHost = edit(p3, "eHost", "Hostname: (example: ftp.example.com)");
    eRemotePath = edit(p3, "eRemotePath", "Default folder on host: (optional)");
    p3->addStretch();
    QVBoxLayout* p4 = page("Do you use a proxy or socks server to access the internet?");
    btnNoProxy = new QPushButton("No, I don't even  know what that is.", pages);
    btnNoProxy->setObjectName("btnNoProxy");
    btnYesProxy = new QPushButton("Yes, I use a proxy or socks server.", pages);
    btnYesProxy->setObjectName("btnYesProxy");
    p4->addWidget(btnNoProxy);
    p4->addWidget(btnYesProxy);
    p4->addStretch();
    QVBoxLayout* p5 = page(nullptr);
    auto* picture = new QLabel(pages);
    picture->setObjectName("imgDone");
    picture->setPixmap(QPixmap(":/images/logo.jpg"));
    p5->addWidget(picture);
    p5->addStretch();

    btnBack = new QPushButton("<< Back", this);
    btnBack->setObjectName("btnBack");
    btnNext = new QPushButton("Next >>", this);
    btnNext->setObjectName("btnNext");
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    // Enter is handled by the fields themselves, never by a default button.
    for (QPushButton* b : {btnBack, btnNext, btnCancel, btnNoProxy, btnYesProxy})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnBack);
    buttons->addWidget(btnNext);
    buttons->addWidget(btnCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(lblHeading);
    outer->addWidget(lblSubtitle);
    outer->addWidget(pages, 1);
    outer->addLayout(buttons);

    connect(btnNext, &QPushButton::clicked, this, &TwinServerWizard::NextClick);
    connect(btnBack, &QPushButton::clicked, this, &TwinServerWizard::BackClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNoProxy, &QPushButton::clicked, this, [this] { ShowStepPage(5); });
    connect(btnYesProxy, &QPushButton::clicked, this,
            [this] { TwindowProxy::RunProxyWindow(this, store_); });
    connect(eNickname, &QLineEdit::textChanged, this, &TwinServerWizard::UpdateNext);
    connect(eHost, &QLineEdit::textChanged, this, &TwinServerWizard::UpdateNext);
    connect(cAnon, &QCheckBox::clicked, this, &TwinServerWizard::AnonClick);
    for (QLineEdit* e : {eNickname, eUser, ePass, eHost, eRemotePath})
        connect(e, &QLineEdit::returnPressed, this, &TwinServerWizard::NextClick);
    cAnon->installEventFilter(this);
    cSavePass->installEventFilter(this);
    ShowStepPage(1);
}

bool TwinServerWizard::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            NextClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

bool TwinServerWizard::Start() {
    ShowStepPage(1);
    eNickname->setFocus();
    return exec() == QDialog::Accepted;
}

void TwinServerWizard::ShowStepPage(int step) {
    step_ = step;
    pages->setCurrentIndex(step - 1);
    lblHeading->setText(QString("Server Profile Wizard (Step %1 of 5)").arg(step));
    lblSubtitle->setText(kSubtitles[step - 1]);
    btnBack->setVisible(step > 1);
    btnCancel->setVisible(step < 5);
    btnNext->setText(step == 5 ? "Finish" : "Next >>");
    UpdateNext();
    if (step == 1)
        eNickname->setFocus();
    else if (step == 2)
        eUser->setFocus();
    else if (step == 3)
        eHost->setFocus();
}

void TwinServerWizard::UpdateNext() {
    if (step_ == 1)
        btnNext->setEnabled(!eNickname->text().isEmpty());
    else if (step_ == 3)
        btnNext->setEnabled(!eHost->text().isEmpty());
    else
        btnNext->setEnabled(true);
}

void TwinServerWizard::NextClick() {
    switch (step_) {
    case 1: {
        std::string name = ss(eNickname->text());
        if (name.empty())
            return;
        std::string problem = SiteNameProblem(name);
        if (!problem.empty()) {
            showMessage(problem);
            return;
        }
        if (profileExists_ && profileExists_(name)) {
            showMessage(kDuplicateSiteName);
            return;
        }
        ShowStepPage(2);
        break;
    }
    case 2:
        ShowStepPage(3);
        break;
    case 3:
        if (!eHost->text().trimmed().isEmpty())
            ShowStepPage(4);
        break;
    case 4:
        ShowStepPage(5);
        break;
    default:
        accept();
        break;
    }
}

void TwinServerWizard::BackClick() {
    if (step_ > 1)
        ShowStepPage(step_ - 1);
}

void TwinServerWizard::AnonClick() {
    if (cAnon->isChecked()) {
        eUser->setText("anonymous");
        ePass->setText(kAnonymousPassword);
    } else {
        eUser->clear();
        ePass->clear();
    }
}

TWizardAnswers TwinServerWizard::Answers() const {
    TWizardAnswers a;
    a.Name = ss(eNickname->text());
    a.Host = ss(eHost->text().trimmed());
    a.User = ss(eUser->text());
    a.Password = ss(ePass->text());
    a.RemotePath = ss(eRemotePath->text());
    a.Anonymous = cAnon->isChecked();
    a.SavePassword = cSavePass->isChecked();
    return a;
}

} // namespace tessaly
