#include "TreeAnchor.h"

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeView>

#include <random>

namespace vel::anchor {

namespace {

QApplication& App() {
    static int Argc = 1;
    static char Name[] = "bench";
    static char* Argv[] = {Name, nullptr};
    static QApplication* A = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(Argc, Argv);
    }();
    return *A;
}

} // namespace

struct TTreeAnchor::TImpl {
    int Rows;
    TOperation Op;
    QStandardItemModel Model;
    QTreeView View;
    QPixmap Shot{800, 600};
    std::mt19937 Rng{1};
    bool Ascending = true;

    void FillItems() {
        Model.clear();
        Model.setColumnCount(1);
        QList<QStandardItem*> Items;
        std::uint32_t Key = 0;
        for (int I = 0; I < Rows; ++I) {
            auto* Item = new QStandardItem(QStringLiteral("Node %1").arg(I % 10));
            Key = Key * 1664525u + 1013904223u;
            Item->setData(Key, Qt::UserRole + 1);
            Model.appendRow(Item);
        }
    }
    void FillChain() {
        Model.clear();
        QStandardItem* Parent = Model.invisibleRootItem();
        for (int I = 0; I < Rows; ++I) {
            auto* Item = new QStandardItem(QStringLiteral("Level"));
            Parent->appendRow(Item);
            Parent = Item;
        }
    }
};

TTreeAnchor::TTreeAnchor(int Rows, TOperation Op)
    : FImpl((App(), std::make_unique<TImpl>())) {
    FImpl->Rows = Rows;
    FImpl->Op = Op;
    FImpl->Model.setSortRole(Qt::UserRole + 1);
    FImpl->View.setModel(&FImpl->Model);
    FImpl->View.setUniformRowHeights(true);
    FImpl->View.setSelectionMode(QAbstractItemView::ExtendedSelection);
    FImpl->View.resize(800, 600);
    FImpl->View.show();
    if (Op == TOperation::ExpandAllChain)
        FImpl->FillChain();
    else if (Op != TOperation::Create && Op != TOperation::CreateItems)
        FImpl->FillItems();
}

TTreeAnchor::~TTreeAnchor() = default;

void TTreeAnchor::Prepare() {
    TImpl& I = *FImpl;
    switch (I.Op) {
    case TOperation::Create:
    case TOperation::CreateItems:
        I.Model.clear();
        break;
    case TOperation::ScrollToMiddle:
        I.View.scrollToTop();
        break;
    case TOperation::PaintMiddle:
        I.View.scrollTo(I.Model.index(I.Rows / 2, 0), QAbstractItemView::PositionAtCenter);
        break;
    case TOperation::ExpandAllChain:
        I.View.collapseAll();
        break;
    case TOperation::Clear:
        I.FillItems();
        break;
    default:
        break;
    }
}

void TTreeAnchor::Run() {
    TImpl& I = *FImpl;
    switch (I.Op) {
    case TOperation::Create:
        I.Model.setColumnCount(1);
        I.Model.setRowCount(I.Rows);
        break;
    case TOperation::CreateItems:
        I.FillItems();
        break;
    case TOperation::PaintTop:
    case TOperation::PaintMiddle:
        I.View.render(&I.Shot);
        break;
    case TOperation::ScrollToMiddle:
        I.View.scrollTo(I.Model.index(I.Rows / 2, 0), QAbstractItemView::PositionAtCenter);
        break;
    case TOperation::IndexAt: {
        const int Y = static_cast<int>(I.Rng() % 600);
        volatile bool Valid = I.View.indexAt(QPoint(10, Y)).isValid();
        (void)Valid;
        break;
    }
    case TOperation::Sort:
        I.Model.sort(0, I.Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        I.Ascending = !I.Ascending;
        break;
    case TOperation::SelectAllClear:
        I.View.selectAll();
        I.View.clearSelection();
        break;
    case TOperation::ExpandAllChain:
        I.View.expandAll();
        break;
    case TOperation::Clear:
        I.Model.clear();
        break;
    }
    QApplication::processEvents();
}

} // namespace vel::anchor
