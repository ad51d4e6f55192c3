// SPDX-License-Identifier: MIT
#include "BenchSupport.h"
#include "Child.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Fixture.h"
#include "Sandbox.h"

#include "views/InstanceListView.h"

#include <QListView>
#include <QScrollBar>
#include <QStringListModel>

#include <memory>

namespace {

constexpr int sidebarCount = 10000;

struct Pass
{
    double perPage = 0;    // GUI-thread CPU per page of the second pass
    double heapGrowth = 0; // since before the list was made, after both passes
};

// Pages through the whole list once, then once more, timing each page of the second pass until it
// is painted.
Pass scroll(std::unique_ptr<QAbstractItemView> view, double heapBefore)
{
    view->resize(260, 700);
    view->show();
    Bench::settle();
    QScrollBar *bar = view->verticalScrollBar();
    const auto pass = [bar] {
        bar->setValue(0);
        Bench::settle();
        double spent = 0;
        int pages = 0;
        while (bar->value() < bar->maximum()) {
            const double before = Bench::threadCpuMilliseconds();
            bar->setValue(bar->value() + bar->pageStep());
            Bench::settle();
            spent += Bench::threadCpuMilliseconds() - before;
            ++pages;
        }
        return pages ? spent / pages : 0;
    };
    pass();
    Pass result;
    result.perPage = pass();
    result.heapGrowth = Bench::heapMiB() - heapBefore;
    view.reset();
    Bench::settle();
    return result;
}

Pass sidebarPass(InstanceManager *manager)
{
    const double before = Bench::heapMiB();
    return scroll(std::make_unique<InstanceListView>(manager), before);
}

// The baseline: a plain QListView over a model holding the same two lines per row.
Pass plainPass(InstanceManager *manager)
{
    const double before = Bench::heapMiB();
    QStringList rows;
    rows.reserve(manager->instances().size());
    for (const HalvexInstance &record : manager->instances())
        rows.append(record.name + u'\n' + record.localURL());
    auto view = std::make_unique<QListView>();
    auto *model = new QStringListModel(rows, view.get());
    view->setModel(model);
    view->setUniformItemSizes(true);
    return scroll(std::move(view), before);
}

} // namespace

namespace Figures {

void sidebar()
{
    const Fixture fixture(FileSystems::stateDirectory().directory, Sandbox::registry(Sandbox::records(sidebarCount)));
    auto manager = fixture.manager();
    // Once each beforehand: fonts, glyphs and styles are loaded by whichever list comes first.
    sidebarPass(manager.get());
    plainPass(manager.get());
    QList<double> page;
    QList<double> plainPage;
    QList<double> heap;
    QList<double> plainHeap;
    for (int run = 0; run < 5; ++run) {
        const Pass sidebar = sidebarPass(manager.get());
        const Pass plain = plainPass(manager.get());
        page.append(sidebar.perPage);
        plainPage.append(plain.perPage);
        heap.append(sidebar.heapGrowth);
        plainHeap.append(plain.heapGrowth);
    }
    const QList<double> pageRatios = ratios(page, plainPage);
    Table::printRow(
        {QStringLiteral("sidebar of %1: per page scrolled, after a full pass (GUI-thread CPU)").arg(sidebarCount),
         QStringLiteral("ms"), page, QString(), plainPage,
         QStringLiteral("a plain QListView over the same names and addresses"), pageRatios, QStringLiteral("≤ 2×"),
         median(pageRatios) <= 2});
    Table::printRow({QStringLiteral("sidebar of %1: heap after the passes").arg(sidebarCount),
                     QStringLiteral("MB"),
                     heap,
                     QString(),
                     plainHeap,
                     QStringLiteral("the plain QListView and its model"),
                     {},
                     QStringLiteral("≤ baseline + 10 MB"),
                     median(heap) <= median(plainHeap) + 10});
}

void selection()
{
    const Sandbox sandbox(FileSystems::stateDirectory().directory, Sandbox::registry(Sandbox::records(sidebarCount)));
    const Child child = Child::run(
        QStringLiteral(BENCH_APP_PATH),
        {QStringLiteral("selection"), QString::number(sidebarCount / 2), QStringLiteral("15")}, sandbox.environment());
    if (!child.ok) {
        Table::printFailure(QStringLiteral("selection change"), child.error);
        return;
    }
    const QList<double> application = child[QStringLiteral("application")];
    const QList<double> plain = child[QStringLiteral("plain")];
    const QList<double> each = ratios(application, plain);
    Table::printRow(
        {QStringLiteral("selection change, %1 instances, Down in the sidebar (GUI-thread CPU)").arg(sidebarCount),
         QStringLiteral("ms"), application, QString(), plain,
         QStringLiteral("a plain QListView of the names, rows and height as the sidebar's, beside a form of QLabels"),
         each, QStringLiteral("≤ 2×"), median(each) <= 2});
}

} // namespace Figures
