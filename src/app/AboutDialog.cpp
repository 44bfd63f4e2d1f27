#include "AboutDialog.h"

#include "MainWindow.h"
#include "Shell.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tessaly {

namespace {
const char* kProductPage = "https://quorvane.example/tessaly/";
}

TfrmSiteMapAbout::TfrmSiteMapAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSiteMapAbout");
    setWindowTitle("About");
    setFixedSize(380, 209);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);

    auto* picture = new QLabel(this);
    picture->setObjectName("imgProduct");
    picture->setGeometry(12, 12, 72, 72);
    picture->setPixmap(QPixmap(":/images/about.jpg"));
    picture->setScaledContents(true);

    auto* lblAppName = new QLabel("Quorvane Google Tessaly", this);
    lblAppName->setObjectName("lblAppName");
    QFont big = lblAppName->font();
    big.setPointSize(12);
    big.setBold(true);
    lblAppName->setFont(big);
    lblAppName->setGeometry(100, 12, 270, 24);

    auto* lblAppVersion = new QLabel("Version 4.5", this);
    lblAppVersion->setObjectName("lblAppVersion");
    lblAppVersion->setGeometry(100, 40, 270, 18);

    auto* lblURL = new QLabel(kProductPage, this);
    lblURL->setObjectName("lblURL");
    QFont link = lblURL->font();
    link.setUnderline(true);
    lblURL->setFont(link);
    QPalette linkPal = lblURL->palette();
    linkPal.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    lblURL->setPalette(linkPal);
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->setGeometry(100, 62, 270, 18);

    auto* Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setPlainText("Quorvane Software\nSupport: support@quorvane.example\n"
                        "Site maps for people who run web sites.");
    Memo1->setGeometry(100, 88, 270, 70);

    auto* btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setGeometry(290, 170, 80, 28);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    // A click on the address opens it.
    struct Clicker : QObject {
        using QObject::QObject;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonRelease)
                OpenDocument(kProductPage);
            return false;
        }
    };
    lblURL->installEventFilter(new Clicker(lblURL));
}

void TfrmSiteMapMain::ShowAbout() {
    TfrmSiteMapAbout about(this);
    about.move(geometry().center() - about.rect().center());
    about.exec();
}

} // namespace tessaly
