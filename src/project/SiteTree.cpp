#include "SiteTree.h"

#include <QGuiApplication>
#include <QPalette>
#include <QString>

namespace tessaly {

TSiteTree::TSiteTree(QObject* parent) : QAbstractItemModel(parent) {}

TSiteTree::~TSiteTree() = default;

TSiteTree::Node* TSiteTree::addItem(Node* parent, TDataRec data, int icon) {
    Node* p = parent ? parent : &root_;
    int row = int(p->children.size());
    if (!bulk_)
        beginInsertRows(parent ? indexOf(parent) : QModelIndex(), row, row);
    auto node = std::make_unique<Node>();
    node->data = std::move(data);
    node->icon = icon;
    node->parent = p;
    node->row = row;
    Node* raw = node.get();
    p->children.push_back(std::move(node));
    ++count_;
    if (!bulk_)
        endInsertRows();
    return raw;
}

std::size_t TSiteTree::subtreeSize(const Node* node) const {
    std::size_t n = 1;
    for (const auto& c : node->children)
        n += subtreeSize(c.get());
    return n;
}

void TSiteTree::deleteNode(Node* node) {
    if (!node || node == &root_)
        return;
    Node* p = node->parent;
    int row = node->row;
    if (!bulk_)
        beginRemoveRows(p == &root_ ? QModelIndex() : indexOf(p), row, row);
    count_ -= subtreeSize(node);
    p->children.erase(p->children.begin() + row);
    for (std::size_t i = std::size_t(row); i < p->children.size(); ++i)
        p->children[i]->row = int(i);
    if (!bulk_)
        endRemoveRows();
}

void TSiteTree::deleteMarked() {
    std::vector<Node*> order;
    forEach([&](Node& n) { order.push_back(&n); });
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if ((*it)->data.DeleteMark)
            deleteNode(*it);
}

void TSiteTree::beginBulk() {
    if (bulk_)
        return;
    beginResetModel();
    bulk_ = true;
}

void TSiteTree::endBulk() {
    if (!bulk_)
        return;
    bulk_ = false;
    endResetModel();
}

void TSiteTree::clear() {
    if (!bulk_)
        beginResetModel();
    root_.children.clear();
    count_ = 0;
    if (!bulk_)
        endResetModel();
}

TSiteTree::Node* TSiteTree::firstItem() const {
    return root_.children.empty() ? nullptr : root_.children.front().get();
}

void TSiteTree::forEach(const std::function<void(Node&)>& fn) const {
    forEachWithLevel([&fn](Node& n, int) { fn(n); });
}

void TSiteTree::forEachWithLevel(const std::function<void(Node&, int)>& fn) const {
    // Iterative, so a deep tree cannot exhaust the stack.
    std::vector<std::pair<Node*, int>> stack;
    for (auto it = root_.children.rbegin(); it != root_.children.rend(); ++it)
        stack.emplace_back(it->get(), 0);
    while (!stack.empty()) {
        auto [n, level] = stack.back();
        stack.pop_back();
        fn(*n, level);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it)
            stack.emplace_back(it->get(), level + 1);
    }
}

TSiteTree::Node* TSiteTree::nodeFromIndex(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex TSiteTree::indexOf(const Node* node) const {
    if (!node || node == &root_)
        return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

void TSiteTree::itemChanged(Node* node) {
    QModelIndex i = indexOf(node);
    emit dataChanged(i, i);
}

void TSiteTree::setLinkText(Node* node, const std::string& text) {
    node->data.LinkText = text;
    itemChanged(node);
}

const TSiteTree::Node* TSiteTree::parentNode(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const Node*>(index.internalPointer()) : &root_;
}

QModelIndex TSiteTree::index(int row, int column, const QModelIndex& parent) const {
    const Node* p = parentNode(parent);
    if (column != 0 || row < 0 || std::size_t(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[std::size_t(row)].get());
}

QModelIndex TSiteTree::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    return indexOf(static_cast<Node*>(child.internalPointer())->parent);
}

int TSiteTree::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return int(parentNode(parent)->children.size());
}

int TSiteTree::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TSiteTree::data(const QModelIndex& index, int role) const {
    const Node* n = nodeFromIndex(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        // No screen is wider than this many characters; a longer text (a
        // title of megabytes) would only cost the view time to lay out.
        constexpr std::size_t kShown = 1000;
        const std::string& text = n->data.LinkText;
        if (text.size() <= kShown)
            return QString::fromStdString(text);
        std::size_t cut = kShown;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 sequence
        return QString::fromUtf8(text.data(), qsizetype(cut)) + QChar(0x2026);
    }
    case Qt::EditRole:
        return QString::fromStdString(n->data.LinkText);
    case Qt::DecorationRole:
        if (n->icon >= 0 && std::size_t(n->icon) < icons_.size())
            return icons_[std::size_t(n->icon)];
        return {};
    case IconRole:
        return n->icon;
    case Qt::ForegroundRole:
        // Left out of the maps: drawn as the palette draws what is off.
        if (n->data.LeftOut != TLeftOut::None)
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::ToolTipRole:
        if (n->data.LeftOut != TLeftOut::None)
            return QString("Left out of the site maps: ") + LeftOutReason(n->data.LeftOut);
        return {};
    default:
        return {};
    }
}

bool TSiteTree::setData(const QModelIndex& index, const QVariant& value, int role) {
    Node* n = nodeFromIndex(index);
    if (!n || role != Qt::EditRole)
        return false;
    setLinkText(n, value.toString().toStdString());
    emit itemEdited(n);
    return true;
}

Qt::ItemFlags TSiteTree::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

} // namespace tessaly
