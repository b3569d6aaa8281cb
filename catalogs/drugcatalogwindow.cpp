#include "catalogs/drugcatalogwindow.h"

#include "catalogs/drugcatalog.h"
#include "pinyin/searchcode.h"
#include "platform/units.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qv {

namespace {

    const QString kCategories[4]
        = { QStringLiteral("西药"), QStringLiteral("中药"), QStringLiteral("其他"), QStringLiteral("用法") };

    QLabel* makeLabel(const QString& text, QWidget* parent, int left, int top)
    {
        auto* label = new QLabel(text, parent);
        label->move(twips(left), twips(top));
        label->adjustSize();
        return label;
    }

} // namespace

LabelGridLayout drugCatalogGridLayout()
{
    LabelGridLayout layout;
    layout.rows = 14;
    layout.headers = { { 1, QStringLiteral("药物名称\\规格\\数量"), 0, 3555 },
        { 5, QStringLiteral("用法用量"), 3540, 2115 }, { 6, QStringLiteral("拼音"), 5640, 1275 } };
    layout.cells
        = { { 60, 3435, Qt::AlignLeft }, { 3600, 1995, Qt::AlignLeft }, { 5700, 1155, Qt::AlignHCenter } };
    layout.left = 60;
    layout.top = 60;
    layout.width = 7215;
    layout.innerWidth = 6915;
    layout.rowLineEnd = 10380;
    layout.columnLineEnd = 8880;
    return layout;
}

QString drugEntryHelpText()
{
    return QStringList { QStringLiteral("药品填写格式："), QString(),
        QStringLiteral("1、药品名称：阿莫西林片 0.25g×24片"), QString(),
        QStringLiteral("    用法用量：0.5g 口服  每日3次"), QString(),
        QStringLiteral("2、药品名称：青霉素注射液 960万单位"), QString(),
        QStringLiteral("    用法用量：静脉滴注  每日1次") }
        .join(QLatin1Char('\n'));
}

DrugCatalogWindow::DrugCatalogWindow(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("药物名称维护"));
    setFixedSize(twipsSize(11175, 5295));

    buildEntryPanel();
    buildSearchBar();
    buildQuickWords();

    // The category label holds the current category; the grid, made after it, covers it.
    categoryLabel = new QLabel(kCategories[0], this);
    categoryLabel->setObjectName(QStringLiteral("Label3"));
    categoryLabel->setGeometry(twipsRect(6000, 4440, 795, 195));
    keyLabel = new QLabel(this);
    keyLabel->setObjectName(QStringLiteral("Label2"));
    keyLabel->hide();
    searchButton = new QPushButton(QStringLiteral("查  询"), this);
    searchButton->setObjectName(QStringLiteral("Command1"));
    searchButton->hide();
    connect(searchButton, &QPushButton::clicked, this, &DrugCatalogWindow::search);

    m_grid = new LabelGrid(drugCatalogGridLayout(), this);
    connect(m_grid, &LabelGrid::rowClicked, this, &DrugCatalogWindow::selectRow);
    connect(m_grid, &LabelGrid::scrolled, this, [this] { deleteButton->setEnabled(false); });

    // Searches run on the catalog held in memory, read on first use and kept current row by row.
    if (!m_services.catalog)
        m_ownCatalog = std::make_unique<CatalogIndex>(*m_services.db);
    m_catalog = m_services.catalog ? m_services.catalog : m_ownCatalog.get();
    takeNewKey();
    search();
    // While the window is open, a drug saved or deleted at another desk shows without a search.
    m_catalog->setChangedCallback([this] {
        // The desk's searches apply other desks' changes too; this window's own searches list them already.
        if (m_catalog->version() != m_listedVersion)
            showOtherDesksChanges();
    });
    m_catalog->watch();
}

DrugCatalogWindow::~DrugCatalogWindow()
{
    // The program's index goes on following other desks for the desk's picker (this window's own, if it
    // has one, stops with it).
    m_catalog->setChangedCallback({});
}

void DrugCatalogWindow::buildEntryPanel()
{
    entryPanel = new QGroupBox(this);
    entryPanel->setObjectName(QStringLiteral("Frame1"));
    entryPanel->setGeometry(twipsRect(7320, -30, 3795, 2175));
    makeLabel(QStringLiteral("药物名称"), entryPanel, 120, 300);
    makeLabel(QStringLiteral("用法用量"), entryPanel, 120, 780);
    makeLabel(QStringLiteral("拼    音"), entryPanel, 120, 1260);
    makeLabel(QStringLiteral("分    类"), entryPanel, 120, 1760);

    auto lineEdit = [this](const char* name, int top) {
        auto* edit = new QLineEdit(entryPanel);
        edit->setObjectName(QLatin1String(name));
        edit->setGeometry(twipsRect(900, top, 2760, 330));
        return edit;
    };
    nameBox = lineEdit("Text3", 240);
    usageBox = lineEdit("Text4", 720);
    codeBox = lineEdit("Text5", 1200);
    nameBox->installEventFilter(this);
    usageBox->installEventFilter(this);
    connect(nameBox, &QLineEdit::textChanged, this, &DrugCatalogWindow::nameEdited);

    categoryBox = new QComboBox(entryPanel);
    categoryBox->setObjectName(QStringLiteral("text6"));
    categoryBox->setEditable(true);
    categoryBox->addItems({ kCategories[0], kCategories[1], kCategories[2], kCategories[3] });
    categoryBox->setCurrentText(kCategories[0]);
    categoryBox->setGeometry(twipsRect(900, 1710, 2775, 300));

    auto button = [this](const char* name, const QString& text, int left, int width) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(twipsRect(left, 2220, width, 375));
        return b;
    };
    addButton = button("Command2", QStringLiteral("添  加"), 7320, 1215);
    saveButton = button("Command3", QStringLiteral("保  存"), 8580, 1275);
    deleteButton = button("Command4", QStringLiteral("删  除"), 9900, 1215);
    deleteButton->setEnabled(false);
    connect(addButton, &QPushButton::clicked, this, &DrugCatalogWindow::addEntry);
    connect(saveButton, &QPushButton::clicked, this, &DrugCatalogWindow::saveRecord);
    connect(deleteButton, &QPushButton::clicked, this, &DrugCatalogWindow::deleteRecord);

    entryHelp = new QLabel(drugEntryHelpText(), this);
    entryHelp->setObjectName(QStringLiteral("Label4"));
    entryHelp->setGeometry(twipsRect(7380, 2820, 4275, 1875));
    entryHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    entryHelp->setStyleSheet(QStringLiteral("color: blue"));
    // The layout's font fits nine lines into the label; a CJK font with wider line spacing is made smaller.
    QFont font = entryHelp->font();
    while (entryHelp->sizeHint().height() > entryHelp->height() && font.pointSizeF() > 6) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        entryHelp->setFont(font);
    }
}

void DrugCatalogWindow::buildSearchBar()
{
    for (int i = 0; i < 4; ++i) {
        categoryOptions[i] = new QRadioButton(kCategories[i], this);
        categoryOptions[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        categoryOptions[i]->setGeometry(twipsRect(4260 + 780 * i, 4920, 780, 255));
        connect(categoryOptions[i], &QRadioButton::clicked, this, [this, i] { categoryChanged(i); });
    }
    categoryOptions[0]->setChecked(true);

    makeLabel(QStringLiteral("输入拼音或中文查询"), this, 60, 4920);
    searchBox = new QLineEdit(this);
    searchBox->setObjectName(QStringLiteral("Text2"));
    searchBox->setGeometry(twipsRect(1800, 4860, 2355, 315));
    connect(searchBox, &QLineEdit::textChanged, this, &DrugCatalogWindow::searchTextChanged);
    // Opening the window, first time or again, puts the keyboard in the search field.
    setFocusProxy(searchBox);
}

void DrugCatalogWindow::buildQuickWords()
{
    quickWordPanel = new QFrame(this);
    quickWordPanel->setObjectName(QStringLiteral("Picture3"));
    quickWordPanel->setGeometry(twipsRect(7380, 4800, 3735, 375));
    struct Word {
        int element;
        const char* caption;
        int left, top;
    };
    static const Word words[]
        = { { 0, "mg", 60, 60 }, { 2, "g", 360, 60 }, { 17, "×", 600, 90 }, { 13, "口服", 900, 90 },
              { 5, "静脉滴注", 1500, 90 }, { 9, "肌注", 2400, 90 }, { 16, "每日3次", 2940, 90 } };
    for (const Word& w : words) {
        QLabel* label = makeLabel(QString::fromUtf8(w.caption), quickWordPanel, w.left, w.top);
        label->setObjectName(QStringLiteral("Label5(%1)").arg(w.element));
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
        quickWords.insert(w.element, label);
    }
}

bool DrugCatalogWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && (watched == nameBox || watched == usageBox)) {
        m_quickWordTarget = static_cast<QLineEdit*>(watched);
        // A click on a quick word hands the focus to the box it writes into. Inside the main window the
        // catalog's frame would otherwise take the focus, and the box would drop its selection before the
        // word could replace it.
        quickWordPanel->setFocusProxy(m_quickWordTarget);
        quickWordPanel->setFocusPolicy(Qt::ClickFocus);
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        for (auto it = quickWords.cbegin(); it != quickWords.cend(); ++it) {
            if (it.value() == watched)
                quickWord(it.key());
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString DrugCatalogWindow::currentKey() const { return keyLabel->text(); }

QString DrugCatalogWindow::currentCategory() const { return categoryLabel->text(); }

void DrugCatalogWindow::takeNewKey()
{
    keyLabel->setText(newDrugKey(*m_services.db, m_services.clock->now()));
    m_entryFresh = true;
    m_entrySeen.clear();
}

void DrugCatalogWindow::resetScroll()
{
    m_grid->restripe();
    m_grid->scrollTo(0);
    deleteButton->setEnabled(false);
}

void DrugCatalogWindow::search()
{
    m_grid->clear();
    CatalogSearch wanted;
    wanted.typed = searchBox->text();
    wanted.category = currentCategory();
    wanted.order = CatalogOrder::NewestKeyFirst;
    // A catalog that cannot be read lists nothing; the next search tries again.
    m_rows = std::make_shared<DrugRows>(m_catalog->search(wanted).rows);
    m_listedVersion = m_catalog->version();
    m_grid->showResult(m_rows);
    deleteButton->setEnabled(false);
}

void DrugCatalogWindow::showOtherDesksChanges()
{
    // The entry panel keeps what the user is typing; a selected row is let go, as scrolling does, since
    // another row may now stand in its place.
    const int top = m_grid->scrollValue();
    search();
    m_grid->scrollTo(top);
}

void DrugCatalogWindow::searchTextChanged()
{
    search();
    nameBox->clear();
    usageBox->clear();
    codeBox->clear();
    takeNewKey();
    resetScroll();
}

void DrugCatalogWindow::categoryChanged(int option)
{
    if (option < 0 || option >= 4)
        return;
    categoryLabel->setText(kCategories[option]);
    categoryBox->setCurrentText(kCategories[option]);
    search();
    addEntry();
}

void DrugCatalogWindow::addEntry()
{
    nameBox->clear();
    usageBox->clear();
    codeBox->clear();
    takeNewKey();
    nameBox->setFocus();
    resetScroll();
}

void DrugCatalogWindow::selectRow(int row)
{
    m_grid->restripe();
    const int record = row + m_grid->scrollValue();
    // An empty row: the previous key, fields and delete button stay as they were.
    if (row < 0 || record >= m_rows->count())
        return;
    const CatalogRow& drug = m_rows->at(record);
    nameBox->setText(drug.name());
    usageBox->setText(drug.usage());
    codeBox->setText(drug.code()); // after the name, whose edit computes a code of its own
    keyLabel->setText(drug.key());
    m_entryFresh = false;
    // Only rows of the window's category are listed.
    m_entrySeen = drugSeen(drug.name(), drug.usage(), drug.code(), currentCategory());
    m_grid->highlightRow(row);
    m_selectedRow = row;
    deleteButton->setEnabled(true);
}

void DrugCatalogWindow::nameEdited()
{
    const int caret = nameBox->cursorPosition();
    const QString tidy = tidyDrugName(nameBox->text());
    if (tidy != nameBox->text()) {
        nameBox->setText(tidy); // runs this handler again, which then finds nothing to change
        nameBox->setCursorPosition(caret);
    }
    codeBox->setText(searchCode(nameBox->text().trimmed()));
}

void DrugCatalogWindow::quickWord(int element)
{
    // Before the name or usage box has had the focus there is nowhere to put the word.
    if (!m_quickWordTarget || !quickWords.contains(element))
        return;
    // insert() replaces the box's selected text, if any, and leaves the caret after the word.
    m_quickWordTarget->insert(quickWords[element]->text());
}

void DrugCatalogWindow::saveRecord()
{
    const int scroll = m_grid->scrollValue();
    DrugEntry entry { currentKey(), nameBox->text(), usageBox->text(), codeBox->text(),
        categoryBox->currentText(), m_entryFresh, m_entrySeen };
    SaveResult saved = saveDrug(*m_services.db, entry, currentCategory());
    if (saved.conflict != RowConflict::None) {
        // Another desk changed or deleted the row since it was shown here: nothing was written.
        const Messages::Answer answer = saved.conflict == RowConflict::Deleted
            ? (m_services.messages->askYesNo(drugConflictQuestion(saved.conflict), Messages::Icon::Warning)
                    ? Messages::Answer::No
                    : Messages::Answer::Cancel)
            : m_services.messages->askYesNoCancel(
                drugConflictQuestion(saved.conflict), Messages::Icon::Warning);
        if (answer == Messages::Answer::Cancel)
            return;
        if (answer == Messages::Answer::Yes) {
            showStoredDrug(entry.key);
            search();
            return;
        }
        entry.key = newDrugKey(*m_services.db, m_services.clock->now());
        entry.fresh = true;
        saved = saveDrug(*m_services.db, entry, currentCategory());
    }
    if (saved.outcome == SaveOutcome::NameMissing) {
        m_services.messages->inform(QStringLiteral("请输入药物名称！"));
        return;
    }
    if (saved.outcome == SaveOutcome::Failed && saved.outcomeUnknown) {
        // Perhaps stored: saving again writes under the same key whatever that row holds now, never a second
        // row; the message says that it is not known.
        keyLabel->setText(saved.key);
        m_entryFresh = false;
        m_entrySeen.clear();
        m_services.messages->inform(saved.error, Messages::Icon::Warning);
        return;
    }
    if (saved.outcome == SaveOutcome::Failed) {
        // Nothing was stored; the fields keep what was typed.
        m_services.messages->inform(QStringLiteral("保存失败！\n") + saved.error, Messages::Icon::Warning);
        return;
    }
    // A new entry whose key another desk took meanwhile was stored under the next free one.
    keyLabel->setText(saved.key);
    m_entryFresh = false;
    m_entrySeen = drugSeen(entry.name, entry.usage, entry.code, entry.category);
    search();
    if (saved.outcome == SaveOutcome::Updated) {
        m_grid->scrollTo(scroll);
        m_grid->highlightRow(m_selectedRow);
    } else {
        m_selectedRow = 0;
        m_grid->scrollTo(0);
        m_grid->highlightRow(0);
    }
    addButton->setFocus();
}

void DrugCatalogWindow::showStoredDrug(const QString& key)
{
    const Result stored = m_services.db->run(
        QStringLiteral("select \"名称\", \"用法\", \"拼音\", \"分类\" from \"商品\" where \"ID号\" = ?"),
        { key });
    if (!stored || stored.rows.isEmpty()) {
        addEntry();
        return;
    }
    const Row& row = stored.rows.first();
    nameBox->setText(row.text(QStringLiteral("名称")));
    usageBox->setText(row.text(QStringLiteral("用法")));
    codeBox->setText(row.text(QStringLiteral("拼音")));
    // Where the other desk put it, so that saving again does not move it back.
    categoryBox->setCurrentText(row.text(QStringLiteral("分类")));
    keyLabel->setText(key);
    m_entryFresh = false;
    m_entrySeen
        = drugSeen(nameBox->text(), usageBox->text(), codeBox->text(), row.text(QStringLiteral("分类")));
}

void DrugCatalogWindow::deleteRecord()
{
    const QString key = currentKey();
    bool found = false;
    double stock = 0;
    drugStock(*m_services.db, key, &found, &stock);
    if (found
        && (stock == 0
            || m_services.messages->askYesNo(
                QStringLiteral("该商品已有库存，确认要删除吗!"), Messages::Icon::Warning))) {
        const Result removed = deleteDrug(*m_services.db, key);
        if (!removed)
            m_services.messages->inform(
                QStringLiteral("删除失败！\n") + removed.error, Messages::Icon::Warning);
    }
    addEntry();
    search();
    addButton->setFocus();
}

} // namespace qv
