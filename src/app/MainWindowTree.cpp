// The results tree's commands: status line, keys, context menu, ignore lists
// and deletion.
#include "MainWindow.h"

#include "FileRoutines.h"
#include "ItemPropertiesDialog.h"
#include "Prompts.h"
#include "TextConv.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QTreeView>

namespace tessaly {

int TfrmSiteMapMain::SelectedCount() const {
    return int(tvMap->selectionModel()->selectedRows().size());
}

TSiteTree::Node* TfrmSiteMapMain::SelectedNode() const {
    QModelIndexList rows = tvMap->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : Tree->nodeFromIndex(rows.front());
}

void TfrmSiteMapMain::tvMapChange() {
    if (SelectedCount() != 1) {
        lblLinkFileName->setText("Multiple Files Selected");
        return;
    }
    const TDataRec& d = SelectedNode()->data;
    QString pri = QLocale().toString(d.Priority, 'g', QLocale::FloatingPointShortest);
    QString line = qs(d.Path()) + "  [Change Freq: " + ChangeFreqStatusWord(d.ChangeFreq) +
                   " Pri: " + pri + "]";
    if (d.LeftOut != TLeftOut::None)
        line += QString("  Left out of the site maps: ") + LeftOutReason(d.LeftOut);
    lblLinkFileName->setText(line);
}

bool TfrmSiteMapMain::eventFilter(QObject* watched, QEvent* e) {
    if (watched == tvMap && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_F2) {
            if (TSiteTree::Node* n = SelectedNode())
                tvMap->edit(Tree->indexOf(n));
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            DeleteSelectedItems();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & Qt::AltModifier)) {
            ShowProperties(false);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TfrmSiteMapMain::tvMapNodeContextMenu(const QPoint& pos) {
    ContextNode = Tree->nodeFromIndex(tvMap->indexAt(pos));
    if (!ContextNode)
        return;
    bool first = ContextNode == Tree->firstItem();
    int selected = SelectedCount();
    miAddIgnoreFolder->setEnabled(!first && ContextNode->icon == iconFolder && selected <= 1);
    miIgnoreFile->setEnabled(!first && ContextNode->icon != iconFolder && selected < 2);
    miDelete->setEnabled(!first);
    miRename->setEnabled(selected < 2);
    miProperties->setEnabled(true);
    pumResults->popup(tvMap->viewport()->mapToGlobal(pos));
}

void TfrmSiteMapMain::AddFolderToIgnoreList() {
    if (!ContextNode)
        return;
    IgnoreFolderList.push_back(ContextNode->data.FolderPath.str());
    Profile.setIgnoreFolders(JoinLines(IgnoreFolderList));
    TSiteTree::Node* n = ContextNode;
    ContextNode = nullptr;
    Tree->deleteNode(n);
}

void TfrmSiteMapMain::AddFileToIgnoreList() {
    if (!ContextNode)
        return;
    IgnoreFileList.push_back(LowerCase(ContextNode->data.Path()));
    Profile.setIgnoreFiles(JoinLines(IgnoreFileList));
    TSiteTree::Node* n = ContextNode;
    ContextNode = nullptr;
    Tree->deleteNode(n);
}

void TfrmSiteMapMain::DeleteSelectedItems() {
    if (Profile.ConfirmDelete() &&
        messageDlg("Do you wish to remove the selected site map nodes from the tree?",
                   "Confirm Removal", PromptIcon::Question, Yes | No) != Yes)
        return;
    for (const QModelIndex& i : tvMap->selectionModel()->selectedRows())
        Tree->nodeFromIndex(i)->data.DeleteMark = true;
    ContextNode = nullptr;
    Tree->deleteMarked();
}

void TfrmSiteMapMain::EditContextItem() {
    if (ContextNode)
        tvMap->edit(Tree->indexOf(ContextNode));
}

void TfrmSiteMapMain::ShowProperties(bool fromContextMenu) {
    if (fromContextMenu) {
        EditItemPropertiesFor(SelectedCount() < 2 ? ContextNode : nullptr);
        return;
    }
    if (SelectedCount() == 0)
        return;
    EditItemPropertiesFor(SelectedCount() <= 1 ? SelectedNode() : nullptr);
}

void TfrmSiteMapMain::EditItemPropertiesFor(TSiteTree::Node* item) {
    std::vector<TSiteTree::Node*> selected;
    for (const QModelIndex& i : tvMap->selectionModel()->selectedRows())
        selected.push_back(Tree->nodeFromIndex(i));
    const std::string reason = LeftOutReasonOf(item, selected);
    auto dialog = [this, &reason](const std::string& label, const std::string& text,
                                  const std::string& url, ChangeFreqType freq, double pri) {
        return TfrmSiteMapItemProp::EditSiteMapItem(this, label, text, url, freq, pri, reason);
    };
    if (EditItemProperties(*Tree, Profile, item, selected, dialog)) {
        tvMapChange();
        MarkOutputStale();
    }
}

} // namespace tessaly
