#pragma once
// The results tree: one model that the scan, the spider, the writers and the
// dialogs work on. Each node owns its site map item; tree order (depth-first,
// parents before children) is the order the writers use.
#include "DataRec.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <functional>
#include <memory>
#include <vector>

namespace tessaly {

class TSiteTree : public QAbstractItemModel {
    Q_OBJECT
  public:
    struct Node {
        TDataRec data;
        int icon = iconPage;
        int row = 0;
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
    };

    // The item's icon index, for views and tests.
    static constexpr int IconRole = Qt::UserRole + 1;

    explicit TSiteTree(QObject* parent = nullptr);
    ~TSiteTree() override;

    // Appends an item under parent (nullptr: at the top level).
    Node* addItem(Node* parent, TDataRec data, int icon);
    // Deletes the node with its subitems, freeing their records.
    void deleteNode(Node* node);
    // Deletes every node whose item has DeleteMark set, walking from the last
    // item to the first so that subitems go before their parents.
    void deleteMarked();
    void clear();
    // Between these, items are added and deleted without telling the views
    // item by item; the views reload once at the end. For bulk work such as a
    // search filling the tree.
    void beginBulk();
    void endBulk();

    // The first item in tree order (absolute index 0), or nullptr.
    Node* firstItem() const;
    bool isEmpty() const { return root_.children.empty(); }
    // Number of items in the whole tree.
    std::size_t count() const { return count_; }
    // Visits every item in tree order; the callback must not change the tree.
    void forEach(const std::function<void(Node&)>& fn) const;
    // The same, with each item's level (0 for a top item, one more per
    // generation).
    void forEachWithLevel(const std::function<void(Node&, int level)>& fn) const;

    Node* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    // Changes an item's text (and so its caption) and tells the views.
    void setLinkText(Node* node, const std::string& text);
    // Tells the views an item's data changed.
    void itemChanged(Node* node);

    // Pictures for the three icon indexes (folder, page, image).
    void setIcons(std::vector<QIcon> icons) { icons_ = std::move(icons); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  signals:
    // An in-place edit of a caption was accepted.
    void itemEdited(tessaly::TSiteTree::Node* node);

  private:
    const Node* parentNode(const QModelIndex& index) const;
    std::size_t subtreeSize(const Node* node) const;
    Node root_;
    std::size_t count_ = 0;
    bool bulk_ = false;
    std::vector<QIcon> icons_;
};

} // namespace tessaly
