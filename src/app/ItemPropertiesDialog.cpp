#include "ItemPropertiesDialog.h"

#include "DialogButtons.h"
#include "TextConv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

TfrmSiteMapItemProp::TfrmSiteMapItemProp(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSiteMapItemProp");
    setWindowTitle("Edit Site Map Item");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(530, 246);

    auto* gbSelection = new QGroupBox(" Selected Link Properties ", this);
    gbSelection->setObjectName("gbSelection");
    auto* grid = new QGridLayout(gbSelection);
    auto label = [&](const char* name, const QString& text, int row) {
        auto* l = new QLabel(text, gbSelection);
        l->setObjectName(name);
        grid->addWidget(l, row, 0);
        return l;
    };
    label("Label1", "File:", 0);
    lblLinkFileName = new QLabel("[none]", gbSelection);
    lblLinkFileName->setObjectName("lblLinkFileName");
    lblLinkFileName->setTextFormat(Qt::PlainText);
    lblLinkFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(lblLinkFileName, 0, 1, 1, 3);

    editLinkText = new QLineEdit(gbSelection);
    editLinkText->setObjectName("editLinkText");
    label("Label13", "Link &Text:", 1)->setBuddy(editLinkText);
    grid->addWidget(editLinkText, 1, 1, 1, 3);

    editLinkURL = new QLineEdit(gbSelection);
    editLinkURL->setObjectName("editLinkURL");
    label("Label12", "Link &URL:", 2)->setBuddy(editLinkURL);
    grid->addWidget(editLinkURL, 2, 1, 1, 3);

    cboChangeFreq = new QComboBox(gbSelection);
    cboChangeFreq->setObjectName("cboChangeFreq");
    for (int f = cfNothing; f <= cfNever; ++f)
        cboChangeFreq->addItem(ChangeFreqDialogWord(ChangeFreqType(f)));
    label("Label2", "&Change Frequency:", 3)->setBuddy(cboChangeFreq);
    grid->addWidget(cboChangeFreq, 3, 1);

    spinPriority = new QDoubleSpinBox(gbSelection);
    spinPriority->setObjectName("spinPriority");
    spinPriority->setRange(0, 1);
    spinPriority->setDecimals(1);
    spinPriority->setSingleStep(0.1);
    auto* Label3 = new QLabel("&Priority:", gbSelection);
    Label3->setObjectName("Label3");
    Label3->setBuddy(spinPriority);
    grid->addWidget(Label3, 3, 2, Qt::AlignRight);
    grid->addWidget(spinPriority, 3, 3);

    chkApplySubProp = new QCheckBox(
        "&Apply Frequency and Priority to all subitems of this item also", gbSelection);
    chkApplySubProp->setObjectName("chkApplySubProp");
    chkApplySubPropDef = new QCheckBox("Change &Frequency and Priority for all subitems only if "
                                       "they are currently set at the default",
                                       gbSelection);
    chkApplySubPropDef->setObjectName("chkApplySubPropDef");
    chkApplySubPropDef->setEnabled(false);
    connect(chkApplySubProp, &QCheckBox::toggled, chkApplySubPropDef, &QWidget::setEnabled);
    grid->addWidget(chkApplySubProp, 4, 0, 1, 4);
    grid->addWidget(chkApplySubPropDef, 5, 0, 1, 4);
    // Shown only for items the crawl left out of the maps.
    lblLeftOut = new QLabel(gbSelection);
    lblLeftOut->setObjectName("lblLeftOut");
    lblLeftOut->setTextFormat(Qt::PlainText);
    lblLeftOut->setWordWrap(true);
    chkIncludeInMaps = new QCheckBox("&Include in the site maps", gbSelection);
    chkIncludeInMaps->setObjectName("chkIncludeInMaps");
    grid->addWidget(lblLeftOut, 6, 0, 1, 4);
    grid->addWidget(chkIncludeInMaps, 7, 0, 1, 4);
    lblLeftOut->hide();
    chkIncludeInMaps->hide();
    grid->setColumnStretch(1, 1);

    DialogButtons buttons = MakeDialogButtons(this, "OK");
    auto* v = new QVBoxLayout(this);
    v->addWidget(gbSelection);
    v->addLayout(buttons.row);

    editLinkText->installEventFilter(this);
    editLinkURL->installEventFilter(this);
}

bool TfrmSiteMapItemProp::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == editLinkText) {
                editLinkURL->setFocus();
                return true;
            }
            if (watched == editLinkURL) {
                accept();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, e);
}

std::optional<ItemEdit>
TfrmSiteMapItemProp::EditSiteMapItem(QWidget* parent, const std::string& fileLabel,
                                     const std::string& linkText, const std::string& linkURL,
                                     ChangeFreqType changeFreq, double priority,
                                     const std::string& leftOutReason) {
    TfrmSiteMapItemProp dlg(parent);
    if (!leftOutReason.empty()) {
        dlg.lblLeftOut->setText(qs("Left out of the site maps: " + leftOutReason + "."));
        dlg.lblLeftOut->show();
        dlg.chkIncludeInMaps->show();
        dlg.setFixedSize(dlg.width(), dlg.height() + 56);
    }
    if (parent)
        dlg.move(parent->geometry().center() - dlg.rect().center());
    dlg.lblLinkFileName->setText(qs(fileLabel));
    dlg.editLinkText->setText(qs(linkText));
    dlg.editLinkURL->setText(qs(linkURL));
    dlg.cboChangeFreq->setCurrentIndex(changeFreq <= cfNever ? int(changeFreq) : -1);
    dlg.spinPriority->setValue(priority);
    bool multiple = fileLabel == kMultipleFilesSelected;
    dlg.editLinkText->setEnabled(!multiple);
    dlg.editLinkURL->setEnabled(!multiple);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    ItemEdit edit;
    edit.linkText = multiple ? linkText : ss(dlg.editLinkText->text());
    edit.linkURL = multiple ? linkURL : ss(dlg.editLinkURL->text());
    edit.priority = dlg.spinPriority->value();
    int index = dlg.cboChangeFreq->currentIndex();
    edit.changeFreq = index < 0 ? cfNothing : ChangeFreqType(index);
    edit.applyToSubitems = dlg.chkApplySubProp->isChecked();
    edit.onlyIfDefault = dlg.chkApplySubPropDef->isChecked();
    edit.includeInMaps = !leftOutReason.empty() && dlg.chkIncludeInMaps->isChecked();
    return edit;
}

} // namespace tessaly
