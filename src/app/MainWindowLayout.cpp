// Construction of the main window: menus, toolbar, header, the three pages and
// the wizard buttons.
#include "MainWindow.h"

#include "ProfileOptions.h"
#include "Shell.h"
#include "TextConv.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

static void initTessalyResources() {
    Q_INIT_RESOURCE(tessaly);
}

namespace tessaly {

void initResources() {
    initTessalyResources();
}

namespace {

QLabel* boldLabel(const QString& text, int points, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    if (points > 0)
        f.setPointSize(points);
    l->setFont(f);
    return l;
}
} // namespace

TfrmSiteMapMain::TfrmSiteMapMain(QStringList args, QWidget* parent)
    : QMainWindow(parent), Args(std::move(args)) {
    setObjectName("frmSiteMapMain");
    initResources();
    Tree = new TSiteTree(this);
    Tree->setIcons(
        {QIcon(":/icons/folder.png"), QIcon(":/icons/page.png"), QIcon(":/icons/image.png")});
    Profile.setFileTypes(kDefaultFileTypes);
    Profile.setWebsite("http://");
    Profile.setMakeGoogleSM(true);

    resize(640, 506);
    setMinimumSize(640, 500);
    buildMenus();
    buildToolbar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(buildHeader());
    pcMain = new QStackedWidget(central);
    pcMain->setObjectName("pcMain");
    pcMain->addWidget(buildInformationPage());
    pcMain->addWidget(buildStatusPage());
    pcMain->addWidget(buildResultsPage());
    layout->addWidget(pcMain, 1);
    layout->addWidget(buildButtons());
    setCentralWidget(central);

    auto* status = new QLabel(
        QString::fromUtf8("The Google name is a registered trademark of Google\u00AE"), this);
    status->setObjectName("lblStatusBar");
    statusBar()->addWidget(status, 1);
    statusBar()->setSizeGripEnabled(true);

    ShowStep();
    UpdateCaption();
    // The program's own defaults are not changes of the user's to save.
    Profile.Modified = false;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmSiteMapMain::~TfrmSiteMapMain() {
    if (Settings) {
        try {
            WriteSettings();
        } catch (...) {
        }
    }
    Tree->clear();
}

void TfrmSiteMapMain::buildMenus() {
    auto action = [](QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& keys = {}) {
        auto* a = menu->addAction(caption);
        a->setObjectName(name);
        a->setShortcut(keys);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("mnuFile");
    miOpen = action(file, "miOpen", "&Open...", QKeySequence("Ctrl+O"));
    miSave = action(file, "miSave", "&Save", QKeySequence("Ctrl+S"));
    miSaveAs = action(file, "miSaveAs", "Sa&ve As...", QKeySequence("Shift+Ctrl+S"));
    file->addSeparator();
    miExit = action(file, "miExit", "E&xit");

    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->setObjectName("mnuTools");
    miOptions = action(tools, "miOptions", "&Options...");
    miSubmitGoogle = action(tools, "miSubmitGoogle", "Submit to &Google");
    tools->addSeparator();
    miScheduler = action(tools, "miScheduler", "&Scheduler...");
    tools->addSeparator();
    miFTP = action(tools, "miFTP", "FTP Upload...");
    miFTP->setEnabled(false);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("mnuHelp");
    miHelpFile = action(help, "miHelpFile", "Help...");
    miHelp = action(help, "miHelp", "Help Online...");
    miSupport = action(help, "miSupport", "Support...");
    help->addSeparator();
    miAbout = action(help, "miAbout", "About...");

    connect(miOpen, &QAction::triggered, this, [this] { ButtonClick(btnOpenProfile); });
    connect(miSave, &QAction::triggered, this, [this] { ButtonClick(btnSaveProfile); });
    connect(miSaveAs, &QAction::triggered, this, [this] { ButtonClick(btnSaveProfileAs); });
    connect(miExit, &QAction::triggered, this, &QWidget::close);
    connect(miFTP, &QAction::triggered, this, [this] { ButtonClick(btnFTPFiles); });
    connect(miOptions, &QAction::triggered, this, [this] { ShowProfileOptions(-1); });
    connect(miSubmitGoogle, &QAction::triggered, this, &TfrmSiteMapMain::SubmitToGoogle);
    connect(miScheduler, &QAction::triggered, this, &TfrmSiteMapMain::ShowScheduler);
    connect(miHelpFile, &QAction::triggered, this, &TfrmSiteMapMain::OpenHelpFile);
    connect(miHelp, &QAction::triggered, this,
            [] { OpenDocument("https://quorvane.example/tessaly/help/"); });
    connect(miSupport, &QAction::triggered, this,
            [] { OpenDocument("https://quorvane.example/support/"); });
    connect(miAbout, &QAction::triggered, this, &TfrmSiteMapMain::ShowAbout);

    // F1 anywhere in the window.
    auto* helpKey = new QAction(this);
    helpKey->setShortcut(QKeySequence(Qt::Key_F1));
    helpKey->setShortcutContext(Qt::WindowShortcut);
    addAction(helpKey);
    connect(helpKey, &QAction::triggered, this, &TfrmSiteMapMain::OpenHelpFile);
}

void TfrmSiteMapMain::buildToolbar() {
    QToolBar* bar = addToolBar("Main Toolbar");
    bar->setObjectName("tbMain");
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto add = [bar](QAction* menuAction, const char* icon, const QString& text) {
        QAction* a = bar->addAction(QIcon(QString(":/toolbar/%1.png").arg(icon)), text);
        a->setObjectName(QString("tb") + menuAction->objectName().mid(2));
        a->setToolTip(menuAction->text().remove('&'));
        connect(a, &QAction::triggered, menuAction, &QAction::trigger);
        connect(menuAction, &QAction::enabledChanged, a, &QAction::setEnabled);
        a->setEnabled(menuAction->isEnabled());
    };
    add(miOpen, "open", "Open");
    bar->addSeparator();
    add(miOptions, "options", "Options");
    bar->addSeparator();
    add(miFTP, "upload", "FTP Upload");
    add(miScheduler, "scheduler", "Scheduler");
    add(miSubmitGoogle, "submit", "Submit");
    bar->addSeparator();
    add(miHelpFile, "help", "Help");
    bar->addSeparator();
    add(miExit, "exit", "Exit");
}

QWidget* TfrmSiteMapMain::buildHeader() {
    auto* pnl = new QFrame(this);
    pnl->setObjectName("pnlHeader");
    pnl->setFixedHeight(48);
    pnl->setAutoFillBackground(true);
    QPalette pal = pnl->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    pnl->setPalette(pal);
    pnl->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(pnl);
    row->setContentsMargins(8, 4, 8, 4);
    imgLogo = new QLabel(pnl);
    imgLogo->setObjectName("imgLogo");
    imgLogo->setFixedSize(32, 32);
    imgLogo->setPixmap(QPixmap(":/images/logo.jpg"));
    imgLogo->setScaledContents(true);
    lblHeader = boldLabel({}, 12, pnl);
    lblHeader->setObjectName("lblHeader");
    row->addWidget(imgLogo);
    row->addSpacing(8);
    row->addWidget(lblHeader, 1);
    return pnl;
}

QPushButton* TfrmSiteMapMain::commandButton(const char* name, const QString& caption, int tag,
                                            QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setProperty("tag", tag);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, b] { ButtonClick(b); });
    return b;
}

QWidget* TfrmSiteMapMain::buildInformationPage() {
    auto* page = new QWidget;
    page->setObjectName("tsInformation");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(16, 12, 16, 8);

    optLocal =
        new QRadioButton("Create SiteMap based on my Local Files (on your hard drive)", page);
    optLocal->setObjectName("optLocal");
    optWebsite = new QRadioButton("Create SiteMap by spidering my Website", page);
    optWebsite->setObjectName("optWebsite");
    optWebsite->setChecked(true);
    v->addWidget(optLocal);
    v->addWidget(optWebsite);
    v->addSpacing(12);

    lblIndexPage = new QLabel(
        "Index &Page For Website: (Starting point for Site Map)  Example: /var/www/index.html",
        page);
    lblIndexPage->setObjectName("lblIndexPage");
    editIndex = new QLineEdit(page);
    editIndex->setObjectName("editIndex");
    lblIndexPage->setBuddy(editIndex);
    btnBrowseIndex = commandButton("btnBrowseIndex", "Bro&wse...", 9, page);
    auto* indexRow = new QHBoxLayout;
    indexRow->addWidget(editIndex, 1);
    indexRow->addWidget(btnBrowseIndex);
    v->addWidget(lblIndexPage);
    v->addLayout(indexRow);
    v->addSpacing(12);

    auto* Label13 = new QLabel("&Website Address: (http://www.example.com/)", page);
    Label13->setObjectName("Label13");
    editWebsite = new QLineEdit("http://", page);
    editWebsite->setObjectName("editWebsite");
    Label13->setBuddy(editWebsite);
    v->addWidget(Label13);
    v->addWidget(editWebsite);
    v->addSpacing(12);

    btnProfileOptions = new QPushButton("O&ptions...", page);
    btnProfileOptions->setObjectName("btnProfileOptions");
    connect(btnProfileOptions, &QPushButton::clicked, miOptions, &QAction::trigger);
    auto* optRow = new QHBoxLayout;
    optRow->addWidget(btnProfileOptions);
    optRow->addStretch(1);
    v->addLayout(optRow);
    v->addStretch(1);

    connect(optLocal, &QRadioButton::clicked, this, &TfrmSiteMapMain::SpiderTypeClick);
    connect(optWebsite, &QRadioButton::clicked, this, &TfrmSiteMapMain::SpiderTypeClick);
    connect(editIndex, &QLineEdit::textChanged, this, &TfrmSiteMapMain::editIndexChange);
    connect(editWebsite, &QLineEdit::textChanged, this,
            [this](const QString& t) { Profile.setWebsite(ss(t)); });
    return page;
}

QWidget* TfrmSiteMapMain::buildStatusPage() {
    auto* page = new QWidget;
    page->setObjectName("tsStatus");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(16, 12, 16, 8);
    auto* top = new QHBoxLayout;
    aniSearch = new QLabel(page);
    aniSearch->setObjectName("aniSearch");
    aniSearch->setFixedSize(48, 48);
    aniTimer = new QTimer(this);
    aniTimer->setInterval(100);
    connect(aniTimer, &QTimer::timeout, this, [this] {
        if (aniFrames.empty())
            return;
        aniFrame = (aniFrame + 1) % int(aniFrames.size());
        aniSearch->setPixmap(aniFrames[std::size_t(aniFrame)]);
    });
    top->addWidget(aniSearch);
    auto* grid = new QVBoxLayout;
    lblStatusTitle = boldLabel({}, 0, page);
    lblStatusTitle->setObjectName("lblStatusTitle");
    grid->addWidget(lblStatusTitle);
    auto labelled = [&](const char* caption, const char* name) {
        auto* row = new QHBoxLayout;
        auto* cap = new QLabel(caption, page);
        cap->setFixedWidth(80);
        auto* value = new QLabel(page);
        value->setObjectName(name);
        value->setTextFormat(Qt::PlainText);
        value->setMinimumWidth(100);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        row->addWidget(cap);
        row->addWidget(value, 1);
        grid->addLayout(row);
        return value;
    };
    lblLookingIn = labelled("Looking in:", "lblLookingIn");
    lblFileFound = labelled("File:", "lblFileFound");
    lblFileCount = labelled("Files Found:", "lblFileCount");
    top->addLayout(grid, 1);
    v->addLayout(top);
    memoFiles = new QPlainTextEdit(page);
    memoFiles->setObjectName("memoFiles");
    memoFiles->setReadOnly(true);
    memoFiles->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    v->addWidget(memoFiles, 1);
    return page;
}

QWidget* TfrmSiteMapMain::buildResultsPage() {
    auto* page = new QWidget;
    page->setObjectName("tsResults");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(16, 8, 16, 4);
    auto* caption = new QLabel("Site Map &Results (Double Click an item to edit its properties) "
                               "Note: Changes here are not saved, only settings.",
                               page);
    caption->setWordWrap(true);
    v->addWidget(caption);

    tvMap = new QTreeView(page);
    tvMap->setObjectName("tvMap");
    caption->setBuddy(tvMap);
    tvMap->setModel(Tree);
    tvMap->setHeaderHidden(true);
    tvMap->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvMap->setIconSize(QSize(12, 12));
    tvMap->setIndentation(19);
    tvMap->setUniformRowHeights(true);
    tvMap->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvMap->setContextMenuPolicy(Qt::CustomContextMenu);
    tvMap->installEventFilter(this);
    v->addWidget(tvMap, 1);
    connect(tvMap->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmSiteMapMain::tvMapChange);
    connect(tvMap, &QTreeView::customContextMenuRequested, this,
            &TfrmSiteMapMain::tvMapNodeContextMenu);
    connect(tvMap, &QTreeView::doubleClicked, this, [this] { ShowProperties(false); });
    connect(Tree, &TSiteTree::itemEdited, this, [this] { MarkOutputStale(); });

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel("File:", page));
    lblLinkFileName = new QLabel("[none]", page);
    lblLinkFileName->setObjectName("lblLinkFileName");
    lblLinkFileName->setTextFormat(Qt::PlainText);
    lblLinkFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fileRow->addWidget(lblLinkFileName, 1);
    v->addLayout(fileRow);
    lblTotalFiles = new QLabel("Total Files Found:", page);
    lblTotalFiles->setObjectName("lblTotalFiles");
    v->addWidget(lblTotalFiles);
    // What else the search has to say: a limit that stopped it, what it
    // left out of the maps.
    lblSearchNotes = new QLabel(page);
    lblSearchNotes->setObjectName("lblSearchNotes");
    lblSearchNotes->setTextFormat(Qt::PlainText);
    lblSearchNotes->setWordWrap(true);
    lblSearchNotes->hide();
    v->addWidget(lblSearchNotes);

    auto* GroupBox2 = new QGroupBox(" Output Folder ", page);
    GroupBox2->setObjectName("GroupBox2");
    auto* g = new QGridLayout(GroupBox2);
    rbOutputFile = new QRadioButton("File:", GroupBox2);
    rbOutputFile->setObjectName("rbOutputFile");
    rbOutputFile->setChecked(true);
    editOutputFile = new QLineEdit(GroupBox2);
    editOutputFile->setObjectName("editOutputFile");
    editOutputFile->setReadOnly(true);
    btnOutputFileBrowse = commandButton("btnOutputFileBrowse", "Bro&wse...", 10, GroupBox2);
    g->addWidget(rbOutputFile, 0, 0);
    g->addWidget(editOutputFile, 0, 1);
    g->addWidget(btnOutputFileBrowse, 0, 2);
    rbOutputEditor = new QRadioButton("Open as New Document in Quorvane HTML Editor (Only "
                                      "available when run from within the Editor)",
                                      GroupBox2);
    rbOutputEditor->setObjectName("rbOutputEditor");
    rbOutputEditor->setEnabled(false);
    g->addWidget(rbOutputEditor, 1, 0, 1, 3);
    // Destinations this window does not offer; kept for profiles that name them.
    rbOutputClipBoard = new QRadioButton(
        "Windows Clipboard (Site Map HTML only, no <html> or <body> tags)", GroupBox2);
    rbOutputClipBoard->setObjectName("rbOutputClipBoard");
    rbOutputClipBoard->hide();
    rbOutputInsert = new QRadioButton("Insert into Existing File:", GroupBox2);
    rbOutputInsert->setObjectName("rbOutputInsert");
    rbOutputInsert->hide();
    editOutputInsert = new QLineEdit(GroupBox2);
    editOutputInsert->setObjectName("editOutputInsert");
    editOutputInsert->setEnabled(false);
    editOutputInsert->hide();
    g->setColumnStretch(1, 1);
    v->addWidget(GroupBox2);
    for (QRadioButton* rb : {rbOutputFile, rbOutputEditor, rbOutputClipBoard, rbOutputInsert})
        connect(rb, &QRadioButton::clicked, this, &TfrmSiteMapMain::OutputTypeOptionClick);
    connect(editOutputInsert, &QLineEdit::textChanged, this,
            [this](const QString& t) { Profile.setOutputInsert(ss(t)); });
    connect(editOutputFile, &QLineEdit::textChanged, this, [this](const QString& t) {
        Profile.setOutputFileName(ss(t));
        MarkOutputStale();
    });

    chkGoogle = new QCheckBox("Generate Google Sitemap file", page);
    chkGoogle->setObjectName("chkGoogle");
    chkGoogle->setChecked(true);
    chkGoogle->hide();
    connect(chkGoogle, &QCheckBox::clicked, this, [this](bool on) {
        Profile.setMakeGoogleSM(on);
        MarkOutputStale();
    });

    pumResults = new QMenu(this);
    pumResults->setObjectName("pumResults");
    auto item = [this](const char* name, const char* icon, const QString& caption,
                       const QString& hint) {
        QAction* a = pumResults->addAction(QIcon(QString(":/icons/%1.png").arg(icon)), caption);
        a->setObjectName(name);
        a->setStatusTip(hint);
        a->setToolTip(hint);
        return a;
    };
    miAddIgnoreFolder = item("miAddIgnoreFolder", "folder", "Add Folder to Ignore List",
                             "Add Folder to Ignore List");
    miIgnoreFile =
        item("miIgnoreFile", "page", "Add File to Ignore List", "Add File to Ignore List");
    pumResults->addSeparator();
    miDelete = item("miDelete", "delete", "Delete Item and SubItems", "Delete Item and SubItems");
    pumResults->addSeparator();
    miRename = item("miRename", "rename", "Edit Item Text", "Edit Item Text");
    pumResults->addSeparator();
    miProperties = item("miProperties", "properties", "Properties...", "Properties");
    connect(miAddIgnoreFolder, &QAction::triggered, this, &TfrmSiteMapMain::AddFolderToIgnoreList);
    connect(miIgnoreFile, &QAction::triggered, this, &TfrmSiteMapMain::AddFileToIgnoreList);
    connect(miDelete, &QAction::triggered, this, &TfrmSiteMapMain::DeleteSelectedItems);
    connect(miRename, &QAction::triggered, this, &TfrmSiteMapMain::EditContextItem);
    connect(miProperties, &QAction::triggered, this, [this] { ShowProperties(true); });
    return page;
}

QWidget* TfrmSiteMapMain::buildButtons() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 4, 12, 0);
    // Command buttons that menus reach; they are never shown.
    btnOpenProfile = commandButton("btnOpenProfile", "Open", 4, bar);
    btnOpenProfile->setToolTip("Open Saved Profile");
    btnSaveProfile = commandButton("btnSaveProfile", "Save", 5, bar);
    btnSaveProfile->setToolTip("Save Profile");
    btnSaveProfileAs = commandButton("btnSaveProfileAs", "Save As", 12, bar);
    btnSaveProfileAs->setToolTip("Save Profile As");
    btnOutputInsertBrowse = commandButton("btnOutputInsertBrowse", "Browse...", 11, bar);
    btnOutputInsertBrowse->setEnabled(false);
    btnViewOutputFile = commandButton("btnViewOutputFile", "&Preview...", 14, bar);
    btnCopyToClipboard = commandButton("btnCopyToClipboard", "Copy to Clipboar&d", 17, bar);
    btnFTPFiles = commandButton("btnFTPFiles", "&Upload...", 18, bar);
    // On the output status page, which is never shown: the options on the FTP page.
    btnFtpOptions = new QPushButton("FTP Site Options...", bar);
    btnFtpOptions->setObjectName("btnFtpOptions");
    connect(btnFtpOptions, &QPushButton::clicked, this, [this] { ShowProfileOptions(2); });
    for (auto* b : {btnOpenProfile, btnSaveProfile, btnSaveProfileAs, btnOutputInsertBrowse,
                    btnViewOutputFile, btnCopyToClipboard, btnFTPFiles, btnFtpOptions})
        b->hide();

    row->addStretch(1);
    btnCancel = commandButton("btnCancel", "&Cancel", 3, bar);
    btnBack = commandButton("btnBack", "&Back", 2, bar);
    btnNext = commandButton("btnNext", "&Next", 1, bar);
    btnNext->setIcon(QIcon(":/icons/next.png"));
    btnNext->setLayoutDirection(Qt::RightToLeft); // image after the caption
    for (auto* b : {btnCancel, btnBack, btnNext}) {
        b->setMinimumWidth(80);
        row->addWidget(b);
    }
    return bar;
}

void TfrmSiteMapMain::loadAnimation() {
    // The frames are drawn on magenta; where the common mask is magenta the
    // picture is see-through.
    QImage mask = QImage(":/animation/QVTSWORLDMASK.png").convertToFormat(QImage::Format_RGB32);
    for (int i = 0; i <= 10; ++i) {
        QImage frame = QImage(QString(":/animation/QVTSWORLD%1.png").arg(i))
                           .convertToFormat(QImage::Format_ARGB32);
        if (frame.isNull())
            continue;
        if (mask.size() == frame.size())
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x)
                    if (mask.pixel(x, y) == 0xFFFF00FF)
                        frame.setPixel(x, y, 0);
        aniFrames.push_back(QPixmap::fromImage(frame));
    }
    if (!aniFrames.empty())
        aniSearch->setPixmap(aniFrames.front());
}

} // namespace tessaly
