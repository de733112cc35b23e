#pragma once

#include "base/Sync_Events.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"
#include "tests/store/Store_Test_Support.h"
#include "ui/List_Grid.h"
#include "ui/Operator_Question.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Gives the window an outer width of `width` pixels, frame included.
inline void Set_Outer_Width(QWidget& window, int width, int height)
{
    window.resize(width, height);
    window.resize(width - (window.frameGeometry().width() - window.width()), height);
}

// Real stores in a fresh folder, and an operator who answers every question as the test says and
// remembers what was asked.
class List_Window_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        events.Load_Event_File(folder.File("tarvel.dat"));
        objects.Load_Object_File(folder.File("latevn.dat"));
    }

    struct Question
    {
        QString Text;
        QString Title;
        Question_Buttons Buttons;
    };

    Ask_Operator Operator()
    {
        return [this](QWidget*, const QString& text, const QString& title, Question_Buttons buttons) {
            asked.push_back({text, title, buttons});
            return answer;
        };
    }

    // A window's control by its objectName; a missing one fails the test.
    template<typename Control> static Control* Find(QObject& window, const char* name)
    {
        auto* control = window.findChild<Control*>(QString::fromLatin1(name));
        if (control == nullptr)
            ADD_FAILURE() << "no control " << name;
        return control;
    }

    static QString Cell(const QAbstractItemModel* model, int row, int column)
    {
        return model->index(row, column).data().toString();
    }

    static std::vector<int> Column_Widths(const List_Grid* grid)
    {
        std::vector<int> widths;
        for (int column = 0; column < grid->model()->columnCount(); ++column)
            widths.push_back(grid->columnWidth(column));
        return widths;
    }

    // What the grid shows of one cell, as painted.
    static QImage Cell_Image(List_Grid* grid, int row, int column)
    {
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        return grid->viewport()->grab(cell).toImage();
    }

    static bool Has_Colour(const QImage& image, const QColor& colour)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == colour)
                    return true;
        return false;
    }

    // Text is antialiased: some pixel of it is close to its colour.
    static bool Has_Colour(const QImage& image, Qt::GlobalColor text_colour)
    {
        const QColor wanted(text_colour);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - wanted.red()) < 40 && std::abs(pixel.green() - wanted.green()) < 40
                    && std::abs(pixel.blue() - wanted.blue()) < 40)
                    return true;
            }
        }
        return false;
    }

    // Clicks a column's header, as the operator sorts by it.
    static void Click_Header(List_Grid* grid, int column)
    {
        QHeaderView* header = grid->horizontalHeader();
        const QPoint middle(
            header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    }

    // What the rows show in a column, top down (the padding of the event list's cells left out).
    static std::vector<std::string> Column_Texts(const QAbstractItemModel* model, int column)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts.push_back(Cell(model, row, column).trimmed().toStdString());
        return texts;
    }

    void Add_Object(const std::string& account, std::int64_t time = 1765262000)
    {
        objects.Update_Object(Make_Event(account, time), false);
    }

    Temp_Folder folder;
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Event_Store events {gate};
    Object_Table objects {gate, object_lock};
    Auto_Reset_Event object_changed;
    bool answer = true;
    std::vector<Question> asked;
};
