#include "ProfileOptionsDialog.h"

#include "ColorPickerButton.h"
#include "CrawlOptionsPage.h"
#include "DialogButtons.h"
#include "FileRoutines.h"
#include "Folders.h"
#include "Information.h"
#include "MapHtml.h"
#include "Prompts.h"
#include "TextConv.h"
#include "XmlSitemap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tessaly {

namespace {
QLabel* namedLabel(const char* name, const QString& text, QWidget* parent,
                   QWidget* buddy = nullptr) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QPushButton* namedButton(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

std::vector<std::string> listItems(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(ss(list->item(i)->text()));
    return out;
}

void setListItems(QListWidget* list, const std::vector<std::string>& items) {
    list->clear();
    for (const std::string& item : items)
        list->addItem(qs(item));
}

void removeSelected(QListWidget* list) {
    for (QListWidgetItem* item : list->selectedItems())
        delete item;
}

// An example address on the user's own site for the prompts.
std::string siteExample(const TMapProfile& profile) {
    std::string site = profile.Website();
    if (QString::fromStdString(site).size() < 8)
        site = "http://www.yoursite.com/";
    return EnsureWebsiteSlash(site);
}
} // namespace

TfrmSiteMapOptions::TfrmSiteMapOptions(const TMapProfile& profile, bool loadLast,
                                       ServerSites servers, QWidget* parent)
    : QDialog(parent), profile_(profile), servers_(std::move(servers)),
      localMode_(profile.SpiderType() == mstLocal) {
    setObjectName("frmSiteMapOptions");
    setWindowTitle("Profile Options");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(520, 430);

    pcMain = new QTabWidget(this);
    pcMain->setObjectName("pcMain");
    pcMain->addTab(buildFilesPage(), "&Files and Folders");
    pcMain->addTab(buildColorsPage(), "Page &Colors");
    pcMain->addTab(buildFtpPage(), "FTP Upload");
    pcMain->addTab(buildOutputPage(), "Output Options");
    pcMain->addTab(buildQueriesPage(), "Queries to Ignore");
    crawlPage_ = new TCrawlOptionsPage(profile);
    pcMain->addTab(crawlPage_, "Cra&wl");
    pcMain->setTabVisible(tsFTPUpload, false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcMain, 1);
    layout->addLayout(MakeDialogButtons(this, "OK").row);

    // The values, as the profile holds them.
    ProfileOptions o = LoadProfileOptions(profile, loadLast);
    colors_ = o.colors;
    editFileTypes->setText(qs(o.fileTypes));
    editFileTypes->setCursorPosition(0);
    setListItems(lstIgnoreFolders, o.ignoreFolders);
    setListItems(lstIgnoreFiles, o.ignoreFiles);
    chkUsePageTitles->setChecked(o.usePageTitles);
    chkLoadLast->setChecked(o.loadLast);
    chkAddImages->setChecked(o.addImages);
    chkNoFolderImages->setChecked(o.noFolderImages);
    chkNoFolderImages->setEnabled(o.addImages);
    fillServers(profile.ServerName());
    editRemoteUploadDir->setText(qs(o.serverDir));
    cboChangeFreq->setCurrentIndex(int(o.defFreq));
    spinPriority->setValue(o.defPri);
    shownPriority_ = spinPriority->value();
    setListItems(lstQueries, o.followQueryParts);
    cboSitemapProtocol->setCurrentIndex(int(o.sitemapProtocol));
    chkLastModWhenKnown->setChecked(o.lastModWhenKnown);
    chkLastModWhenKnown->setEnabled(o.sitemapProtocol == spSitemaps09);
    editSitemapAddress->setText(qs(o.sitemapAddress));
    for (std::size_t i = 0; i < pickers_.size(); ++i)
        pickers_[i]->setColor(colors_[i]);
    PreviewColors();
}

QWidget* TfrmSiteMapOptions::buildFilesPage() {
    auto* page = new QWidget;
    page->setObjectName("tsFiles");
    auto* grid = new QGridLayout(page);

    editFileTypes = new QLineEdit(page);
    editFileTypes->setObjectName("editFileTypes");
    grid->addWidget(namedLabel("Label10", "File &Types to include: Format = *.ext1;*.ext2;*.ext3;",
                               page, editFileTypes),
                    0, 0, 1, 2);
    auto* btnResetFileTypes = namedButton("btnResetFileTypes", "Rese&t...", page);
    connect(btnResetFileTypes, &QPushButton::clicked, this,
            &TfrmSiteMapOptions::btnResetFileTypesClick);
    auto* typesRow = new QHBoxLayout;
    typesRow->addWidget(editFileTypes, 1);
    typesRow->addWidget(btnResetFileTypes);
    grid->addLayout(typesRow, 1, 0, 1, 2);

    auto list = [&](const char* name) {
        auto* l = new QListWidget(page);
        l->setObjectName(name);
        l->setSelectionMode(QAbstractItemView::ExtendedSelection);
        l->installEventFilter(this);
        return l;
    };
    lstIgnoreFolders = list("lstIgnoreFolders");
    lstIgnoreFiles = list("lstIgnoreFiles");
    grid->addWidget(namedLabel("Label11", "Sub Folders to &Ignore:", page, lstIgnoreFolders), 2, 0);
    grid->addWidget(namedLabel("Label12", "Files to Igno&re:", page, lstIgnoreFiles), 2, 1);
    grid->addWidget(lstIgnoreFolders, 3, 0);
    grid->addWidget(lstIgnoreFiles, 3, 1);

    auto* btnAddFolder = namedButton("btnAddFolder", "&Add...", page);
    btnRemoveFolder = namedButton("btnRemoveFolder", "&Remove", page);
    auto* btnFileAdd = namedButton("btnFileAdd", "A&dd...", page);
    btnFileRemove = namedButton("btnFileRemove", "R&emove", page);
    btnRemoveFolder->setEnabled(false);
    btnFileRemove->setEnabled(false);
    connect(btnAddFolder, &QPushButton::clicked, this, &TfrmSiteMapOptions::btnAddFolderClick);
    connect(btnFileAdd, &QPushButton::clicked, this, &TfrmSiteMapOptions::btnFileAddClick);
    // A remove button is enabled exactly while its list has a selection.
    for (auto [l, remove] :
         {std::pair{lstIgnoreFolders, btnRemoveFolder}, std::pair{lstIgnoreFiles, btnFileRemove}}) {
        connect(l, &QListWidget::itemSelectionChanged, remove,
                [l, remove] { remove->setEnabled(!l->selectedItems().isEmpty()); });
        connect(remove, &QPushButton::clicked, l, [l] { removeSelected(l); });
    }
    auto* folderButtons = new QHBoxLayout;
    folderButtons->addWidget(btnAddFolder);
    folderButtons->addWidget(btnRemoveFolder);
    folderButtons->addStretch(1);
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(btnFileAdd);
    fileButtons->addWidget(btnFileRemove);
    fileButtons->addStretch(1);
    grid->addLayout(folderButtons, 4, 0);
    grid->addLayout(fileButtons, 4, 1);

    auto* options = new QGroupBox(" Options ", page);
    options->setObjectName("gbOptions");
    auto* optionsLayout = new QVBoxLayout(options);
    chkUsePageTitles = new QCheckBox("&Use Page Titles from TITLE Tags", options);
    chkUsePageTitles->setObjectName("chkUsePageTitles");
    chkLoadLast = new QCheckBox("&Load Last Saved Profile on next Startup", options);
    chkLoadLast->setObjectName("chkLoadLast");
    optionsLayout->addWidget(chkUsePageTitles);
    optionsLayout->addWidget(chkLoadLast);
    grid->addWidget(options, 5, 0, 1, 2);
    return page;
}

QWidget* TfrmSiteMapOptions::buildColorsPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(" Output Page Colors ", page);
    group->setObjectName("gbColors");
    auto* grid = new QGridLayout(group);
    const char* names[] = {"cpbBackground", "cpbText", "cpbLink", "cpbVisited", "cpbActive"};
    const char* captions[] = {"Background", "Text", "Link", "Visited Link", "Active Link"};
    for (int i = 0; i < 5; ++i) {
        auto* picker = new ColorPickerButton(group);
        picker->setObjectName(names[i]);
        pickers_[std::size_t(i)] = picker;
        connect(picker, &ColorPickerButton::picked, this,
                [this, i](TColor c) { ColorPicked(i, c); });
        grid->addWidget(new QLabel(captions[i], group), i, 0);
        grid->addWidget(picker, i, 1);
    }
    auto* btnResetColors = namedButton("btnResetColors", "Reset Colors To Defaults", group);
    connect(btnResetColors, &QPushButton::clicked, this, &TfrmSiteMapOptions::btnResetColorsClick);
    grid->addWidget(btnResetColors, 5, 0, 1, 2);

    htmlPreview = new QTextBrowser(group);
    htmlPreview->setObjectName("htmlPreview");
    htmlPreview->setOpenLinks(false);
    grid->addWidget(namedLabel("lblPreview", "Page Preview:", group), 0, 2);
    grid->addWidget(htmlPreview, 1, 2, 5, 1);
    grid->setColumnStretch(2, 1);
    layout->addWidget(group);
    return page;
}

QWidget* TfrmSiteMapOptions::buildFtpPage() {
    auto* page = new QWidget;
    page->setObjectName("tsFTPUpload");
    auto* layout = new QVBoxLayout(page);
    cboServer = new QComboBox(page);
    cboServer->setObjectName("cboServer");
    connect(cboServer, &QComboBox::activated, this,
            [this] { pickedServer_ = ss(cboServer->currentText()); });
    editRemoteUploadDir = new QLineEdit(page);
    editRemoteUploadDir->setObjectName("editRemoteUploadDir");
    auto* BitBtn1 = namedButton("BitBtn1", "Edit/Add Server", page);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmSiteMapOptions::BitBtn1Click);
    layout->addWidget(namedLabel("Label1", "Server to Upload SiteMap to:", page, cboServer));
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(cboServer, 1);
    serverRow->addWidget(BitBtn1);
    layout->addLayout(serverRow);
    layout->addWidget(namedLabel("Label2",
                                 "Remote Folder to upload to: (If different from initial host "
                                 "folder) IE: public_html/sitemap/",
                                 page, editRemoteUploadDir));
    layout->addWidget(editRemoteUploadDir);
    layout->addStretch(1);
    return page;
}

QWidget* TfrmSiteMapOptions::buildOutputPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(" Output Options ", page);
    group->setObjectName("gbOutputOptions");
    auto* grid = new QGridLayout(group);
    chkAddImages = new QCheckBox("Add Images for Items", group);
    chkAddImages->setObjectName("chkAddImages");
    chkNoFolderImages = new QCheckBox("Don't include images for folders", group);
    chkNoFolderImages->setObjectName("chkNoFolderImages");
    connect(chkAddImages, &QCheckBox::clicked, chkNoFolderImages,
            [this] { chkNoFolderImages->setEnabled(chkAddImages->isChecked()); });
    cboChangeFreq = new QComboBox(group);
    cboChangeFreq->setObjectName("cboChangeFreq");
    for (int f = cfNothing; f <= cfNever; ++f)
        cboChangeFreq->addItem(ChangeFreqDialogWord(ChangeFreqType(f)));
    spinPriority = new QDoubleSpinBox(group);
    spinPriority->setObjectName("spinPriority");
    spinPriority->setRange(0, 1);
    spinPriority->setDecimals(1);
    spinPriority->setSingleStep(0.1);
    grid->addWidget(chkAddImages, 0, 0, 1, 2);
    grid->addWidget(chkNoFolderImages, 1, 0, 1, 2);
    grid->addWidget(namedLabel("Label3", "Default &Change Frequency:", group, cboChangeFreq), 2, 0);
    grid->addWidget(cboChangeFreq, 2, 1);
    grid->addWidget(namedLabel("Label5", "Default &Priority:", group, spinPriority), 3, 0);
    grid->addWidget(spinPriority, 3, 1);
    layout->addWidget(group);

    auto* sitemap = new QGroupBox(" XML Sitemap ", page);
    sitemap->setObjectName("gbSitemap");
    auto* sitemapGrid = new QGridLayout(sitemap);
    cboSitemapProtocol = new QComboBox(sitemap);
    cboSitemapProtocol->setObjectName("cboSitemapProtocol");
    cboSitemapProtocol->addItems({"sitemaps.org 0.9", "Google 0.84"});
    chkLastModWhenKnown =
        new QCheckBox("Write &lastmod only when the page's own date is known", sitemap);
    chkLastModWhenKnown->setObjectName("chkLastModWhenKnown");
    // Google's protocol of old is written as it always was, every date included.
    connect(cboSitemapProtocol, &QComboBox::currentIndexChanged, chkLastModWhenKnown,
            [this](int index) { chkLastModWhenKnown->setEnabled(index == spSitemaps09); });
    editSitemapAddress = new QLineEdit(sitemap);
    editSitemapAddress->setObjectName("editSitemapAddress");
    editSitemapAddress->setPlaceholderText(
        qs(SitemapBaseAddress(profile_) +
           ExtractFileName(GoogleSiteMapFileName(profile_.OutputFileName()))));
    sitemapGrid->addWidget(
        namedLabel("lblSitemapProtocol", "Sitemap &protocol:", sitemap, cboSitemapProtocol), 0, 0);
    sitemapGrid->addWidget(cboSitemapProtocol, 0, 1);
    sitemapGrid->addWidget(chkLastModWhenKnown, 1, 0, 1, 2);
    auto* addressLabel = namedLabel(
        "lblSitemapAddress",
        "Address of the sitemap file, for sitemap index files (when not as shown):", sitemap,
        editSitemapAddress);
    addressLabel->setWordWrap(true);
    sitemapGrid->addWidget(addressLabel, 2, 0, 1, 2);
    sitemapGrid->addWidget(editSitemapAddress, 3, 0, 1, 2);
    layout->addWidget(sitemap);
    layout->addStretch(1);
    return page;
}

QWidget* TfrmSiteMapOptions::buildQueriesPage() {
    auto* page = new QWidget;
    page->setObjectName("tsFollowQueries");
    auto* layout = new QVBoxLayout(page);
    auto* Label6 = namedLabel(
        "Label6",
        qs("By default, URL's with queries are followed, such as " + siteExample(profile_) +
           "download.php?product=14\n\nThis list allows you to specify queries that will be "
           "ignored (the 'product=14' part of the example URL)"),
        page);
    Label6->setWordWrap(true);
    lstQueries = new QListWidget(page);
    lstQueries->setObjectName("lstQueries");
    editQueryAdd = new QLineEdit(page);
    editQueryAdd->setObjectName("editQueryAdd");
    editQueryAdd->installEventFilter(this);
    btnQueryAdd = namedButton("btnQueryAdd", "Add", page);
    btnQueryRemove = namedButton("btnQueryRemove", "Remove", page);
    btnQueryAdd->setEnabled(false);
    btnQueryRemove->setEnabled(false);
    connect(editQueryAdd, &QLineEdit::textChanged, btnQueryAdd,
            [this](const QString& t) { btnQueryAdd->setEnabled(!t.trimmed().isEmpty()); });
    connect(btnQueryAdd, &QPushButton::clicked, this, &TfrmSiteMapOptions::btnQueryAddClick);
    connect(btnQueryRemove, &QPushButton::clicked, this, &TfrmSiteMapOptions::btnQueryRemoveClick);
    connect(lstQueries, &QListWidget::itemSelectionChanged, btnQueryRemove,
            [this] { btnQueryRemove->setEnabled(!lstQueries->selectedItems().isEmpty()); });
    layout->addWidget(Label6);
    layout->addWidget(
        namedLabel("Label7", "Ignore queries containing the following text:", page, lstQueries));
    layout->addWidget(lstQueries, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(editQueryAdd, 1);
    row->addWidget(btnQueryAdd);
    row->addWidget(btnQueryRemove);
    layout->addLayout(row);
    return page;
}

std::optional<bool> TfrmSiteMapOptions::ShowProfileOptions(QWidget* parent, TMapProfile& profile,
                                                           bool loadLast, int page,
                                                           ServerSites servers) {
    TfrmSiteMapOptions dialog(profile, loadLast, std::move(servers), parent);
    if (page >= 0 && page < dialog.pcMain->count())
        dialog.pcMain->setCurrentIndex(page);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    dialog.crawlPage_->Apply(profile);
    return WriteProfileOptions(dialog.values(), profile);
}

ProfileOptions TfrmSiteMapOptions::values() const {
    ProfileOptions o;
    o.colors = colors_;
    o.fileTypes = ss(editFileTypes->text());
    o.ignoreFolders = listItems(lstIgnoreFolders);
    o.ignoreFiles = listItems(lstIgnoreFiles);
    o.usePageTitles = chkUsePageTitles->isChecked();
    o.loadLast = chkLoadLast->isChecked();
    o.addImages = chkAddImages->isChecked();
    o.noFolderImages = chkNoFolderImages->isChecked();
    o.serverName = pickedServer_;
    o.serverDir = ss(editRemoteUploadDir->text());
    o.defFreq = cboChangeFreq->currentIndex() < 0 ? cfNothing
                                                  : ChangeFreqType(cboChangeFreq->currentIndex());
    // The spin box shows one decimal: an untouched value keeps the profile's own.
    o.defPri = spinPriority->value() == shownPriority_ ? profile_.DefPri() : spinPriority->value();
    o.followQueryParts = listItems(lstQueries);
    o.sitemapProtocol = TSitemapProtocol(std::max(0, cboSitemapProtocol->currentIndex()));
    o.lastModWhenKnown = chkLastModWhenKnown->isChecked();
    o.sitemapAddress = ss(editSitemapAddress->text().trimmed());
    return o;
}

bool TfrmSiteMapOptions::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, e);
    auto* key = static_cast<QKeyEvent*>(e);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == editQueryAdd && enter) {
        // Enter adds the query (on release) and never closes the dialog.
        if (e->type() == QEvent::KeyRelease && btnQueryAdd->isEnabled())
            btnQueryAdd->click();
        return true;
    }
    if (e->type() == QEvent::KeyRelease && key->key() == Qt::Key_Delete) {
        if (watched == lstIgnoreFolders && btnRemoveFolder->isEnabled())
            btnRemoveFolder->click();
        if (watched == lstIgnoreFiles && btnFileRemove->isEnabled())
            btnFileRemove->click();
    }
    return QDialog::eventFilter(watched, e);
}

void TfrmSiteMapOptions::btnResetFileTypesClick() {
    if (messageDlg(std::string("Do you wish to reset the File Types to include to the following "
                               "default?\n\n") +
                       kDefaultFileTypes,
                   "Reset File Types", PromptIcon::Question, Yes | No) == Yes)
        editFileTypes->setText(kDefaultFileTypes);
}

void TfrmSiteMapOptions::addIgnoreFolder(const std::string& entry) {
    if (std::optional<std::size_t> at = FindListEntry(listItems(lstIgnoreFolders), entry)) {
        showMessage("The folder you selected is already in the list.");
        lstIgnoreFolders->clearSelection();
        lstIgnoreFolders->setCurrentRow(int(*at));
        lstIgnoreFolders->setFocus();
        return;
    }
    lstIgnoreFolders->addItem(qs(entry));
}

void TfrmSiteMapOptions::btnAddFolderClick() {
    if (!localMode_) {
        std::optional<std::string> answer = prompts().inputText(
            {"Enter Folder to Ignore",
             "Enter the full path of the folder to ignore (IE: " + siteExample(profile_) +
                 "downloads/)",
             ""});
        // A blank answer names no folder.
        if (answer && !QString::fromStdString(*answer).trimmed().isEmpty())
            addIgnoreFolder(*answer);
        return;
    }
    const std::string indexFolder = ExtractFilePath(profile_.IndexPage());
    if (!DirectoryExists(indexFolder)) {
        messageDlg("Folders to ignore is based on the path of the index file, please select the "
                   "index file before selecting folders to ignore.",
                   "Select Index File First", PromptIcon::Warning, Ok);
        return;
    }
    if (folderRoot_.empty())
        folderRoot_ = indexFolder;
    FileRequest req;
    req.kind = FileRequest::Folder;
    req.caption = "Select a Folder to Ignore";
    req.initialFolder = folderRoot_;
    std::optional<std::string> chosen = prompts().chooseFile(req);
    if (!chosen || chosen->empty())
        return;
    // The chooser opens where it was left, during this opening of the dialog.
    folderRoot_ = AddBackslash(*chosen);
    addIgnoreFolder(AddBackslash(*chosen));
}

void TfrmSiteMapOptions::btnFileAddClick() {
    std::vector<std::string> items = listItems(lstIgnoreFiles);
    if (!localMode_) {
        std::optional<std::string> answer = prompts().inputText(
            {"Enter File to Ignore",
             "Enter the full path of the file to ignore (IE: " + siteExample(profile_) +
                 "downloads/index.html)",
             ""});
        if (answer && !QString::fromStdString(*answer).trimmed().isEmpty() &&
            !FindListEntry(items, *answer))
            lstIgnoreFiles->addItem(qs(*answer));
        return;
    }
    FileRequest req;
    req.kind = FileRequest::Open;
    req.filter = "All Files (*.*)|*.*";
    std::string indexFolder = ExtractFilePath(profile_.IndexPage());
    req.initialFolder = DirectoryExists(indexFolder) ? indexFolder : ProgramFolder();
    AddIgnoredFiles(items, prompts().chooseFiles(req));
    setListItems(lstIgnoreFiles, items);
}

void TfrmSiteMapOptions::ColorPicked(int index, TColor color) {
    colors_[std::size_t(index)] = color;
    PreviewColors();
}

void TfrmSiteMapOptions::btnResetColorsClick() {
    for (std::size_t i = 0; i < pickers_.size(); ++i) {
        pickers_[i]->setColor(kDefaultColors[i]);
        colors_[i] = kDefaultColors[i];
    }
    PreviewColors();
}

void TfrmSiteMapOptions::PreviewColors() {
    // The viewer does not take the body's text colour: the document's style
    // sheet carries it (and the background, to be sure).
    std::string css;
    if (colors_[1] != ColorNone)
        css += "body { color: " + ColorToHTML(colors_[1]) + "; }\n";
    if (colors_[0] != ColorNone)
        css += "body { background-color: " + ColorToHTML(colors_[0]) + "; }\n";
    htmlPreview->document()->setDefaultStyleSheet(qs(css));
    htmlPreview->setHtml(qs(ColorPreviewPage(colors_)));
}

void TfrmSiteMapOptions::fillServers(const std::string& select) {
    cboServer->clear();
    int selected = -1;
    std::vector<std::string> names = servers_.names ? servers_.names() : std::vector<std::string>{};
    for (const std::string& name : names) {
        if (selected < 0 && LowerCase(name) == LowerCase(select))
            selected = cboServer->count();
        cboServer->addItem(qs(name));
    }
    cboServer->setCurrentIndex(selected);
}

void TfrmSiteMapOptions::BitBtn1Click() {
    if (!servers_.manage)
        return;
    if (std::optional<std::string> chosen = servers_.manage(this)) {
        fillServers(*chosen);
        pickedServer_ = *chosen;
    }
}

void TfrmSiteMapOptions::btnQueryAddClick() {
    lstQueries->addItem(editQueryAdd->text());
    editQueryAdd->setFocus();
}

void TfrmSiteMapOptions::btnQueryRemoveClick() {
    if (!lstQueries->selectedItems().isEmpty())
        removeSelected(lstQueries);
    btnQueryRemove->setEnabled(!lstQueries->selectedItems().isEmpty());
}

} // namespace tessaly
