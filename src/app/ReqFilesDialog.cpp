#include "ReqFilesDialog.h"

#include "FileRoutines.h"
#include "Folders.h"
#include "TextConv.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <set>

namespace tessaly {

TwinReqFiles::TwinReqFiles(const std::string& folder, const std::vector<std::string>& files,
                           QWidget* parent)
    : QDialog(parent) {
    setObjectName("winReqFiles");
    setWindowTitle("Files to Upload");
    auto* header = new QWidget(this);
    header->setObjectName("pnlHeader");
    header->setAutoFillBackground(true);
    QPalette pal = header->palette();
    pal.setColor(QPalette::Window, Qt::white);
    header->setPalette(pal);
    auto* headerRow = new QHBoxLayout(header);
    auto* icon = new QLabel(header);
    icon->setPixmap(QPixmap(":/toolbar/upload.png"));
    auto* title = new QLabel("Files to Upload", header);
    title->setObjectName("lblTitle");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    headerRow->addWidget(icon);
    headerRow->addWidget(title, 1);

    auto* group = new QGroupBox("Required Files", this);
    group->setObjectName("gbRequired");
    auto* text = new QLabel("The following files were created for your sitemap.  You must "
                            "upload all these files to your server and then click the \"Submit "
                            "To Google\" button to notify Google where your sitemap exists and "
                            "where to find it.",
                            group);
    text->setWordWrap(true);
    lstFiles = new QListWidget(group);
    lstFiles->setObjectName("lstFiles");
    // The files are listed by name, each found in the folder: names holding
    // ";" or wildcard characters are shown as they are.
    std::string dir = AddBackslash(folder);
    std::set<std::string> listed;
    for (const std::string& file : files) {
        std::string name = ExtractFileName(file);
        if (name.empty() || !FileExists(dir + name) || !listed.insert(name).second)
            continue;
        lstFiles->addItem(qs(name));
    }
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(text);
    groupLayout->addWidget(lstFiles);

    btnFTPFiles = new QPushButton("&Upload Now", this);
    btnFTPFiles->setObjectName("btnFTPFiles");
    btnSubmit = new QPushButton("Submit to Google", this);
    btnSubmit->setObjectName("btnSubmit");
    btnSubmit->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnFTPFiles);
    buttons->addWidget(btnSubmit);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(header);
    outer->addWidget(group, 1);
    outer->addLayout(buttons);
    connect(btnFTPFiles, &QPushButton::clicked, this, &QDialog::accept);
}

bool TwinReqFiles::ShowReqFiles(QWidget* parent, const std::string& folder,
                                const std::vector<std::string>& files,
                                std::function<void()> submit) {
    TwinReqFiles window(folder, files, parent);
    if (submit)
        connect(window.btnSubmit, &QPushButton::clicked, &window, submit);
    return window.exec() == QDialog::Accepted;
}

} // namespace tessaly
