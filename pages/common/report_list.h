// The report-style list every list page uses: columns with headers, whole-row selection,
// one selected row at a time.
#pragma once

#include <QStringList>
#include <QTreeWidget>

#include "pages/common/table.h"

namespace brisfell {

// Columns get at least the given pixel widths and never less than their header text needs.
QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headers, const QList<int>& widths = {});
QTreeWidget* MakeReportList(QWidget* parent, const Table& columnsOnly, const QList<int>& widths = {});
// Replaces all rows; widens columns whose cells need more room.
void FillReportList(QTreeWidget* list, const Table& table);
void ClearReportList(QTreeWidget* list);
// The selected row's index, -1 when no row is selected.
int SelectionMark(const QTreeWidget* list);

QStringList ToQStringList(const std::vector<std::string>& texts);

}  // namespace brisfell
