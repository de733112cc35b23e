#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the two list models share: a fixed set of columns with their captions over the records of
// a fixed store (its slots or positions). Texts are made when a cell is shown, so no model keeps
// a copy of them.
//
// The rows come in the store's own order until the operator arranges them: sorted by a column,
// only the accounts that contain a text, or marked records (failed objects) first. Arranged rows
// are an order of slot numbers, kept in one array allocated with the model.
class List_Model : public QAbstractTableModel
{
    Q_OBJECT
public:
    using Header_Text = QString (*)(int column);
    static constexpr int No_Sort = -1;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Reads the store and shows its records as arranged; returns the number of records stored.
    int Refresh();
    // Rows that hold a record, as of the last refresh (the stored count when nothing is left out).
    int Shown_Count() const { return shown; }

    // Take effect at the next refresh. `column` No_Sort is the store's own order.
    void Set_Sort(int column, Qt::SortOrder order);
    int Sort_Column() const { return sort_column; }
    Qt::SortOrder Sort_Order() const { return sort_order; }
    // Only the records whose account contains `text`, whatever its case; empty shows them all.
    void Set_Account_Filter(const QString& text);
    bool Filtered() const { return !account_filter.empty(); }
    void Set_Marked_First(bool on) { marked_first = on; }

    // The slot a row shows and the row that shows a slot (-1 when none does), as of the last
    // refresh. A row without a record shows No_Slot.
    static constexpr std::uint32_t No_Slot = 0xFFFFFFFF;
    std::uint32_t Slot_Of_Row(int row) const;
    int Row_Of_Slot(std::uint32_t slot) const;
    bool Row_Has_Record(int row) const { return Slot_Of_Row(row) != No_Slot; }

protected:
    List_Model(int columns, Header_Text header, std::uint32_t slot_count, QObject* parent = nullptr);

    struct Store_Reading
    {
        int Records; // slots in use
        int Natural_Rows; // rows of the store's own order, records and gaps
    };
    // Reads what the store's own order needs (Next_Slot of the ring) and counts the records.
    virtual Store_Reading Read_Store() = 0;
    // Row r of the store's own order shows this slot, and the reverse (-1 when no row does).
    virtual std::uint32_t Natural_Slot(int row) const = 0;
    virtual int Natural_Row(std::uint32_t slot) const = 0;
    virtual bool Slot_Used(std::uint32_t slot) const = 0;
    virtual std::string_view Slot_Account(std::uint32_t slot) const = 0;
    // Below zero, zero or above zero as slot `a` sorts before, with or after `b` by `column`.
    virtual int Compare_Slots(std::uint32_t a, std::uint32_t b, int column) const = 0;
    // What comes first when marked records are asked first.
    virtual bool Marked(std::uint32_t /*slot*/) const { return false; }
    // The text of a cell of a used slot.
    virtual QString Cell_Text(std::uint32_t slot, int column) const = 0;

private:
    bool Arranged() const { return sort_column != No_Sort || Filtered() || marked_first; }
    void Arrange(int natural_rows);
    // Sets the row count (one empty body row when there is none) and tells the view that every
    // cell may have changed.
    void Show_Rows(int wanted);

    const int columns;
    const Header_Text header;
    const std::uint32_t slot_total;
    int rows = 1;
    int natural_rows = 0;
    int shown = 0;
    int sort_column = No_Sort;
    Qt::SortOrder sort_order = Qt::AscendingOrder;
    std::string account_filter; // upper case
    bool marked_first = false;
    bool arranged = false; // as of the last refresh
    std::vector<std::uint32_t> order; // the slot of each arranged row
    std::vector<int> row_of_slot; // the reverse, -1 for a slot not shown
};
