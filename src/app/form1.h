#pragma once

#include <QCursor>
#include <QGroupBox>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/settings.h"
#include "importer/import_run.h"
#include "filelist/list_editing.h"
#include "platform/dialogs.h"

class QMimeData;

namespace quorrix::importer {
class SpreadsheetAutomation;
class ProjectAutomation;
}  // namespace quorrix::importer

namespace quorrix {

// Pointer kinds of the main window.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;  // the busy state
inline constexpr int kPointerCustom = 99;     // the hand

// The main window: the file list, the buttons that fill, edit and import it, and the options.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // What the window works with; the program passes the real ones, tests their own.
    struct Services {
        DialogProvider* dialogs = nullptr;
        Settings* settings = nullptr;
        importer::SpreadsheetAutomation* spreadsheet = nullptr;
        importer::ProjectAutomation* project = nullptr;
        importer::PlanReading* planReading = nullptr;  // told which fields the run reads of the plans
        QString installFolder;                   // folder of the executable, no trailing separator
        std::function<void(int)> exitProcess;    // ends the process at once
        double startupWaitSeconds = 1.0;
    };

    explicit Form1(Services services, QWidget* parent = nullptr);

    // The start-up sequence, run once before the window first shows.
    void Form_Load();

    // ---- The file list --------------------------------------------------------------------
    void AddFileEntry(const QString& text);
    int entryCount() const;
    QString entryText(int position) const;  // 1-based
    QStringList entries() const;

    // ---- Pointer kinds and the busy state ---------------------------------------------------
    int mousePointer() const { return pointerKind_; }
    void setMousePointer(int kind);
    bool isBusy() const { return pointerKind_ == kPointerHourglass; }
    bool hasCustomPointer() const { return handCursor_.has_value(); }
    void hoverOverButton();   // H1
    void hoverOverSurface();  // H0

    // ---- Progress bar ----------------------------------------------------------------------
    void setProgressValue(double value);
    double progressValue() const { return progressValue_; }
    void setProgressText(const QString& text);
    QString progressText() const { return progressText_; }

    const Services& services() const { return services_; }
    DialogProvider& dialogs() const { return *services_.dialogs; }
    QString installFolder() const { return services_.installFolder; }

    // ---- Handlers -------------------------------------------------------------------------
    void PushButton1_Click();  // Add Project File(s)
    void PushButton2_Click();  // Start Importing Project Files
    void PushButton3_Click();  // Move Up
    void PushButton4_Click();  // Add All Project Files In Folder
    void PushButton5_Click();  // Move Down
    void PushButton6_Click();  // Clear List
    void PushButton7_Click();  // Load Sample/Example Files
    void PushButton8_Click();  // Help
    void Option3_Click();
    void Option4_Click();
    // A right-click on the "Import Options" frame: the menu of further workbook columns, at a
    // point of the frame. It does not open while an import runs.
    void Frame1_ContextMenu(const QPoint& pos);

    void ListView1_DblClick();
    void ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void ListView1_ItemClick();
    void ListView1_MouseDown(Qt::MouseButton button);
    void ListView1_MouseMove(int x, int y);
    void ListView1_MouseUp(Qt::MouseButton button);
    // True when the drag data is accepted (a list of local files).
    bool ListView1_OLEDragOver(const QMimeData* data);
    void ListView1_OLEDragDrop(const QMimeData* data);
    // Adds paths as a drop does: a file as it is, a folder with every file of its tree.
    void AddDroppedPaths(const QStringList& paths);

    // ---- Controls ---------------------------------------------------------------------------
    QTreeWidget* ListView1;
    QProgressBar* ProgressBar1;
    QPushButton* PushButton1;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton6;
    QPushButton* PushButton7;
    QPushButton* PushButton8;
    QGroupBox* Frame1;
    QRadioButton* Option3;
    QRadioButton* Option4;
    // The further columns as checkable entries, then the entry that goes back to the four.
    QMenu* ColumnsMenu;
    // Every column entry of the menu and its column submenus.
    QList<QAction*> columnEntries() const;
    QAction* DefaultColumnsAction;
    // The last entry of the "Custom Fields" submenu: adds the column of a custom field chosen by
    // the name plans give it. The columns so chosen stand above it as checkable entries.
    QAction* ByNameAction = nullptr;
    // Submenus of ColumnsMenu: the sheet options, and the choice of tasks with the entry that
    // goes back to every task. Each checkable entry holds its settings key as its data.
    QMenu* SheetMenu = nullptr;
    QMenu* RowsMenu = nullptr;
    QAction* AllTasksAction;

    // Drag reordering state of the list.
    bool DragActive = false;
    QTreeWidgetItem* DragItem = nullptr;
    QTreeWidgetItem* HoverItem = nullptr;

    // Window geometry in twips, converted with the screen's logical resolution.
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // Where a point of the list (its y in the visible area) stands among the rows shown.
    filelist::DragEdge dragEdgeAt(int y) const;
    void createColumnsMenu();
    void showColumnChoice();
    void showColumnsInHint();
    void storeColumnChoice();
    // Asks for a custom field's name and adds its column.
    void chooseCustomFieldByName();
    // The entries of the columns chosen by name: one for each such column, and one left
    // unchecked while the menu is open.
    void showByNameEntries(const std::vector<importer::Column>& chosen);
    // A checkable entry of `menu` for the column, not yet added to it.
    QAction* columnEntry(QMenu* menu, const importer::Column& column, const QString& text);
    // Keeps a menu open while its checkable entries are clicked one after another.
    static void keepOpenOnCheck(QMenu* menu);
    void createSheetMenus();
    void showSheetChoice();
    void storeSheetChoice();
    void ApplySkin();
    void Form_Unload();
    void storeLayoutChoice();
    void restoreOption(QRadioButton* option, const QString& key, const QString& defaultText);
    void clearOption(QRadioButton* option);
    bool optionArrowKey(QRadioButton* focused, int key);

    Services services_;
    int pointerKind_ = kPointerDefault;
    std::optional<QCursor> handCursor_;
    double progressValue_ = 0;
    QString progressText_;
};

}  // namespace quorrix
