#include "ProxyDialog.h"

#include "Prompts.h"
#include "TextConv.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tessaly {

TwindowProxy::TwindowProxy(TUserStore store, QWidget* parent)
    : QDialog(parent), store_(std::move(store)) {
    setObjectName("windowProxy");
    setWindowTitle("Proxy Server");
    auto* form = new QFormLayout;
    auto field = [&](QWidget* w, const char* name, const char* label) {
        w->setObjectName(name);
        form->addRow(new QLabel(label, this), w);
    };
    Edit1 = new QLineEdit(this);
    field(Edit1, "Edit1", "Proxy Hostname:");
    Edit2 = new QLineEdit(this);
    field(Edit2, "Edit2", "Proxy Login:");
    Edit3 = new QLineEdit(this);
    Edit3->setEchoMode(QLineEdit::Password);
    field(Edit3, "Edit3", "Proxy Password:");
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setRange(0, 30000);
    field(SpinEdit1, "SpinEdit1", "Port:");
    ComboBox1 = new QComboBox(this);
    for (const std::string& t : ProxyTypes())
        ComboBox1->addItem(qs(t));
    field(ComboBox1, "ComboBox1", "Type:");

    Button1 = new QPushButton("Ok", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(form);
    outer->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TwindowProxy::OkClick);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    std::string why;
    if (!LoadProxySettings(settings_, store_, &why))
        messageDlg(std::string(kOpenProxyError) + "\n\n" + why, "Error", PromptIcon::Error, Ok);
}

void TwindowProxy::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    Edit1->setText(qs(settings_.ProxyHostName));
    Edit2->setText(qs(settings_.ProxyLogin));
    Edit3->setText(qs(settings_.ProxyPassword));
    SpinEdit1->setValue(qs(settings_.ProxyPort).toInt());
    ComboBox1->setCurrentIndex(ProxyTypeIndex(settings_.ProxyType));
    Edit1->setFocus();
}

void TwindowProxy::OkClick() {
    settings_.ProxyHostName = ss(Edit1->text());
    settings_.ProxyLogin = ss(Edit2->text());
    settings_.ProxyPassword = ss(Edit3->text());
    settings_.ProxyPort = ss(SpinEdit1->text());
    settings_.ProxyType = ComboBox1->currentIndex() < 0 ? "" : ss(ComboBox1->currentText());
    std::string why;
    if (!SaveProxySettings(settings_, store_, &why))
        messageDlg(std::string(kSaveProxyError) + "\n\n" + why, "Error", PromptIcon::Error, Ok);
    accept();
}

bool TwindowProxy::RunProxyWindow(QWidget* parent, const TUserStore& store) {
    TwindowProxy window(store, parent);
    return window.exec() == QDialog::Accepted;
}

} // namespace tessaly
