// The window with a large database: filling the "NV Items" tree, moving a big group between
// the trees, a heading click and a group's rows in the item list. Runs offscreen.
#include "bench_support.h"
#include "ui/doc_views.h"
#include "jobs/job_control.h"
#include "ui/main_frame.h"
#include "ui/nv_list_view.h"
#include "ui/nv_tree_view.h"
#include "doc/tessiva_doc.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

class CNoChooser : public IFileChooser {
public:
    bool ChooseOpenFile(const SFileDialogRequest&, std::string&) override { return false; }
    bool ChooseSaveFile(const SFileDialogRequest&, std::string&) override { return false; }
};

// A window over `records` records: 5,000 IDs, each an array of records / 5000 elements;
// groups of groupSize records.
struct SWindow {
    SWindow(int records, int groupSize) {
        const int perId = std::max(1, records / 5000);
        CNVItemArray items;
        for (int r = 0; r < records; ++r) {
            const int id = r / perId;
            CNVItem item;
            item.SetId(id);
            item.SetIndex(r % perId);
            item.SetCount(perId);
            item.SetName("NV_ITEM_" + std::to_string(id) + "_I [ " + std::to_string(r % perId) + " ]");
            item.SetGroup("GROUP_" + std::to_string(r / groupSize));
            item.SetFileName("item_" + std::to_string(id));
            item.SetTypeName("uint16");
            item.SetValue(std::vector<uint8_t>{static_cast<uint8_t>(r), static_cast<uint8_t>(id)});
            item.SetActive(CNVItem::kActive);
            items.Add(item);
        }
        if (!doc.SetRecords(std::move(items)).IsCompleted()) std::abort();
        frame = std::make_unique<CMainFrame>(doc, chooser);
        frame->show();
        frame->Views().BuildItemsTree();
        QCoreApplication::processEvents();
    }
    void Paint() {
        frame->ItemsTree().viewport()->repaint();
        frame->SelectedTree().viewport()->repaint();
        QCoreApplication::processEvents();
    }

    SBenchJobs bench;
    CTessivaDoc doc{bench.jobs};
    CNoChooser chooser;
    std::unique_ptr<CMainFrame> frame;
};

void BM_BuildItemsTree(benchmark::State& state) {
    SWindow window(static_cast<int>(state.range(0)), 1000);
    for (auto _ : state) {
        window.frame->Views().BuildItemsTree();
        window.Paint();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildItemsTree)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// One move of a whole group to "Selected NV Items" and one back, as the drop does them,
// including the selection that starts the drag (which lists the group's rows).
void BM_DragGroup(benchmark::State& state) {
    const int groupSize = static_cast<int>(state.range(0));
    SWindow window(100000, groupSize);
    CNVTreeView& items = window.frame->ItemsTree();
    CNVTreeView& selected = window.frame->SelectedTree();
    for (auto _ : state) {
        items.setCurrentItem(items.FindGroupNode("GROUP_3"));
        selected.DropFrom(items);
        selected.setCurrentItem(selected.FindGroupNode("GROUP_3"));
        items.DropFrom(selected);
        window.Paint();
    }
    state.SetItemsProcessed(state.iterations() * 2 * groupSize);
}
BENCHMARK(BM_DragGroup)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A click on "Name", then on "Id", with a tenth of the records selected.
void BM_ColumnClick(benchmark::State& state) {
    SWindow window(static_cast<int>(state.range(0)), 1000);
    CNVTreeView& items = window.frame->ItemsTree();
    for (int g = 0; g < static_cast<int>(state.range(0)) / 1000; g += 10) {
        items.setCurrentItem(items.FindGroupNode("GROUP_" + std::to_string(g)));
        window.frame->SelectedTree().DropFrom(items);
    }
    items.setCurrentItem(items.topLevelItem(0));
    for (auto _ : state) {
        window.frame->Views().OnColumnClick(0);
        window.frame->Views().OnColumnClick(1);
    }
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}
BENCHMARK(BM_ColumnClick)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// Selecting a group node of groupSize records: its rows in the item list.
void BM_ShowGroupRows(benchmark::State& state) {
    const int groupSize = static_cast<int>(state.range(0));
    SWindow window(100000, groupSize);
    CNVTreeView& items = window.frame->ItemsTree();
    QTreeWidgetItem* first = items.FindGroupNode("GROUP_1");
    QTreeWidgetItem* second = items.FindGroupNode("GROUP_2");
    for (auto _ : state) {
        items.setCurrentItem(first);
        items.setCurrentItem(second);
        window.frame->ListView().viewport()->repaint();
    }
    state.SetItemsProcessed(state.iterations() * 2 * groupSize);
}
BENCHMARK(BM_ShowGroupRows)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
}  // namespace

// The application lives in main: a static one would go after the parts of Qt it needs, and
// the program would crash on its way out.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
