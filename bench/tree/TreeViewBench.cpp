// The results tree with 100,000 items: expanding, collapsing and scrolling
// the real view offscreen.
#include "SiteTree.h"

#include <QApplication>
#include <QScrollBar>
#include <QTreeView>
#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    tessaly::TSiteTree tree;
    QTreeView view;
    Fixture() {
        tree.beginBulk();
        tessaly::TDataRec home;
        home.LinkText = "Home";
        auto* root = tree.addItem(nullptr, home, tessaly::iconFolder);
        for (int f = 0; f < 2000; ++f) {
            tessaly::TDataRec folder;
            folder.LinkText = "section " + std::to_string(f);
            auto* node = tree.addItem(root, folder, tessaly::iconFolder);
            for (int p = 0; p < 49; ++p) {
                tessaly::TDataRec page;
                page.LinkText = "Page " + std::to_string(p) + " of section " + std::to_string(f);
                tree.addItem(node, page, tessaly::iconPage);
            }
        }
        tree.endBulk();
        view.setModel(&tree);
        view.setHeaderHidden(true);
        view.setUniformRowHeights(true);
        view.resize(600, 400);
        view.show();
        QCoreApplication::processEvents();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ExpandAndCollapseAll(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.view.expandAll();
        QCoreApplication::processEvents();
        f.view.collapseAll();
        QCoreApplication::processEvents();
    }
    state.counters["items"] = double(f.tree.count());
}
BENCHMARK(BM_ExpandAndCollapseAll)->Unit(benchmark::kMillisecond);

void BM_ScrollExpandedTree(benchmark::State& state) {
    Fixture& f = fixture();
    f.view.expandAll();
    QScrollBar* bar = f.view.verticalScrollBar();
    int step = bar->maximum() / 50;
    for (auto _ : state) {
        // Fifty page jumps from top to bottom, each painted.
        for (int i = 0; i <= 50; ++i) {
            bar->setValue(i * step);
            f.view.viewport()->repaint();
        }
    }
}
BENCHMARK(BM_ScrollExpandedTree)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
