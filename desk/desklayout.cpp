// PrescriptionDesk: building the window and its load sequence.
#include "desk/prescriptiondesk.h"

#include "catalogs/catalogindex.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/paperlayout.h"
#include "platform/controls.h"
#include "platform/units.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qv {

namespace {

    const QString kSong = QStringLiteral("宋体");
    const QString kHei = QStringLiteral("黑体");

    QFont deskFont(const QString& family, double points, bool bold = false)
    {
        QFont f(family);
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }

    void setColours(QWidget* w, const QColor& text, const QColor& base = QColor())
    {
        QPalette p = w->palette();
        p.setColor(QPalette::Text, text);
        p.setColor(QPalette::WindowText, text);
        if (base.isValid()) {
            p.setColor(QPalette::Base, base);
            p.setColor(QPalette::Window, base);
        }
        w->setPalette(p);
    }

    // Toolbar buttons in screen order.
    struct ToolbarButton {
        int index;
        const char16_t* caption;
        double left;
        QColor colour;
    };
    const ToolbarButton kToolbar[] = {
        { 0, u"新建", 60, QColor(0x2e, 0x7d, 0x32) },
        { 1, u"续开", 1200, QColor(0x00, 0x83, 0x8f) },
        { 2, u"保存", 2340, QColor(0x15, 0x65, 0xc0) },
        { 3, u"打印", 3540, QColor(0x45, 0x5a, 0x64) },
        { 9, u"复制", 4740, QColor(0x6a, 0x1b, 0x9a) },
        { 10, u"粘贴", 5940, QColor(0x8e, 0x24, 0xaa) },
        { 4, u"日志", 7140, QColor(0xef, 0x6c, 0x00) },
        { 7, u"统计", 8340, QColor(0xc6, 0x28, 0x28) },
        { 5, u"存为组套", 9540, QColor(0x55, 0x8b, 0x2f) },
        { 8, u"操作帮助", 11100, QColor(0x28, 0x35, 0x93) },
        { 6, u"视频教程", 12600, QColor(0xad, 0x14, 0x57) },
    };

    // The toolbar's own icons: a coloured tile carrying the first character of the caption.
    QPixmap toolbarIcon(const QString& captionText, const QColor& colour, int size)
    {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 5.0, size / 5.0);
        QFont f = deskFont(kHei, 1);
        f.setPixelSize(qMax(1, size * 3 / 5));
        painter.setFont(f);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, captionText.left(1));
        return pixmap;
    }

    struct CategoryButton {
        int index;
        double left, top, width;
    };
    const CategoryButton kCategoryButtons[] = {
        { Western, 60, 840, 915 },
        { Herbs, 1020, 840, 855 },
        { Other, 1920, 840, 855 },
        { Usage, 2820, 840, 855 },
        { PrescriptionSets, 60, 1200, 1815 },
        { Formulas, 1920, 1200, 1755 },
    };

    struct QuickInsertLabel {
        int index;
        const char16_t* caption;
        double left, top, width;
    };
    // The usage captions come first so that the unit labels lie above their blank margins.
    const QuickInsertLabel kQuickInsert[] = {
        { 7, u"    用法：静脉滴注 每日1次", 3960, 60, 2340 },
        { 12, u"    用法：静脉推注 每日1次", 6180, 60, 2340 },
        { 14, u"    用法：肌肉注射 每日1次", 8340, 60, 2340 },
        { 9, u"mg", 60, 60, 180 },
        { 1, u"ml", 420, 60, 180 },
        { 8, u"g", 780, 60, 90 },
        { 3, u"*", 1020, 60, 90 },
        { 4, u"×", 1260, 90, 180 },
        { 15, u"片", 1620, 60, 180 },
        { 6, u"粒", 1980, 60, 180 },
        { 2, u"袋", 2340, 60, 180 },
        { 10, u"支", 2760, 60, 180 },
        { 11, u"瓶", 3120, 60, 180 },
        { 5, u"包", 3480, 60, 180 },
        { 0, u"盒", 3900, 60, 180 },
    };

} // namespace

PrescriptionDesk::PrescriptionDesk(Services& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_ownCatalog(!services.catalog && services.db ? std::make_unique<CatalogIndex>(*services.db) : nullptr)
    , m_catalog(services.catalog ? services.catalog : m_ownCatalog.get())
    , m_keys(services.db, services.context ? services.context->installationTag : QString())
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("销售管理"));
    setFont(deskFont(kSong, 9));
    setFixedSize(twipsSize(14610, 8580));

    buildToolbar();
    buildPicker();
    buildArchivePanel();
    buildPaper();
    buildQuickInsertBar();
    setEntryTabOrder();
    // Opening the window, first time or again, puts the keyboard here.
    setFocusProxy(fieldEdits[0]);
    connectRecordControls();
    buildShortcuts();
    load();
}

PrescriptionDesk::~PrescriptionDesk()
{
    // The fields are destroyed after this class's part of the window and still signal on the way out (a field
    // that loses focus says so); no handler of this half-destroyed window may run then.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void PrescriptionDesk::buildToolbar()
{
    toolbar = placed<QFrame>(this, QStringLiteral("Frame1"), 60, 0, 14505, 795);
    toolbar->setFrameStyle(QFrame::Box | QFrame::Sunken);
    for (const ToolbarButton& b : kToolbar) {
        const int i = b.index;
        const bool wide = i == 5 || i == 6 || i == 8;
        const QString text = QString::fromUtf16(b.caption);
        toolbarButtons[i]
            = placed<QFrame>(toolbar, arrayName("Picture4", i), b.left, 180, wide ? 1455 : 1095, 555);
        toolbarButtons[i]->setAutoFillBackground(true);
        toolbarButtons[i]->setBackgroundRole(QPalette::Button);
        toolbarIcons[i] = placed<QLabel>(toolbarButtons[i], arrayName("Image7", i), 60, 60, 450, 450);
        toolbarIcons[i]->setPixmap(toolbarIcon(text, b.colour, twips(450)));
        toolbarCaptions[i] = caption(toolbarButtons[i], arrayName("Label15", i), text, 600, 180);
        toolbarClickAreas[i]
            = placed<ClickLabel>(toolbarButtons[i], arrayName("Label18", i), 0, 0, wide ? 1455 : 1095, 555);
        toolbarClickAreas[i]->setCursor(Qt::PointingHandCursor);
        // The button looks pressed while a mouse button is held on it; the release runs its action, also
        // when the mouse was dragged off (the release goes to the button where the press began).
        connect(toolbarClickAreas[i], &ClickLabel::pressed, this,
            [this, i] { toolbarButtons[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken); });
        connect(toolbarClickAreas[i], &ClickLabel::released, this, [this, i] {
            toolbarButtons[i]->setFrameStyle(QFrame::NoFrame);
            runToolbarAction(i);
        });
    }
}

void PrescriptionDesk::buildPicker()
{
    leftCaptions[1] = caption(this, arrayName("Label8", 1), QStringLiteral("中文或拼音查询"), 60, 1650);
    setColours(leftCaptions[1], Qt::red);
    searchBox = placed<QLineEdit>(this, QStringLiteral("Text1"), 1380, 1590, 2295, 315);
    searchBox->setFont(deskFont(kSong, 12));
    setColours(searchBox, Qt::red, QColor(0xff, 0xff, 0xc0));
    for (const CategoryButton& b : kCategoryButtons) {
        auto* button = placed<QPushButton>(this, arrayName("Command1", b.index), b.left, b.top, b.width, 300);
        button->setText(drugCategoryCaption(b.index));
        button->setFont(deskFont(kSong, 9));
        categoryButtons[b.index] = button;
        connect(button, &QPushButton::clicked, this, [this, i = b.index] { switchCategory(i); });
    }
    resultList = placed<QListWidget>(this, QStringLiteral("List1"), 60, 1980, 3615, 2940);

    connect(searchBox, &QLineEdit::textChanged, this, &PrescriptionDesk::runSearch);
    connect(resultList, &QListWidget::itemDoubleClicked, this, &PrescriptionDesk::addChosenRow);
    searchBox->installEventFilter(this);
    resultList->installEventFilter(this);
    resultList->viewport()->installEventFilter(this);
}

void PrescriptionDesk::buildArchivePanel()
{
    leftCaptions[2] = caption(this, arrayName("Label8", 2), QStringLiteral("动物主人"), 60, 5100);
    ownerFilter = placed<QLineEdit>(this, QStringLiteral("Text2"), 900, 5040, 1695, 315);
    archiveQueryButton = placed<QPushButton>(this, QStringLiteral("Command7"), 2700, 5040, 930, 345);
    archiveQueryButton->setText(QStringLiteral("查   询"));
    leftCaptions[0] = caption(this, arrayName("Label8", 0), QStringLiteral("日    期"), 60, 5520);
    fromDate = placed<QLineEdit>(this, QStringLiteral("Text3"), 900, 5460, 1695, 315);
    todayButton = placed<QPushButton>(this, QStringLiteral("Command2"), 2700, 5460, 930, 345);
    todayButton->setText(QStringLiteral("今   日"));
    toDateCaption = caption(this, QStringLiteral("Label1"), QStringLiteral("至"), 600, 5940);
    toDate = placed<QLineEdit>(this, QStringLiteral("Text4"), 900, 5880, 1695, 315);
    previousDayButton = placed<QPushButton>(this, QStringLiteral("Command5"), 2700, 5880, 450, 310);
    previousDayButton->setText(QStringLiteral("<<"));
    nextDayButton = placed<QPushButton>(this, QStringLiteral("Command6"), 3180, 5880, 450, 310);
    nextDayButton->setText(QStringLiteral(">>"));
    archiveList = placed<ArchiveList>(this, QStringLiteral("List2"), 60, 6300, 3615, 2220);

    // The pop-up panel of the archive list: a small menu-like panel, hidden until a right click.
    deletePanel = placed<QFrame>(this, QStringLiteral("Picture6"), 1380, 6960, 1065, 840);
    deletePanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    deletePanel->setAutoFillBackground(true);
    setColours(deletePanel, Qt::black, Qt::white);
    deletePanelEntries[0] = placed<ClickLabel>(deletePanel, arrayName("Label9", 0), 30, 120, 975, 225);
    deletePanelEntries[0]->setText(QStringLiteral("删除(D)"));
    deletePanelEntries[1] = placed<ClickLabel>(deletePanel, arrayName("Label9", 1), 60, 480, 915, 225);
    deletePanelEntries[1]->setText(QStringLiteral("取消(E)"));
    deletePanel->hide();

    connect(archiveQueryButton, &QPushButton::clicked, this, &PrescriptionDesk::runArchiveQuery);
}

void PrescriptionDesk::buildPaper()
{
    paper = placed<QWidget>(this, QStringLiteral("Picture2"), 3720, 840, 10830, 7257);
    paper->setAutoFillBackground(true);
    setColours(paper, Qt::black, Qt::white);
    paper->installEventFilter(this);

    for (int i = 0; i < int(paperRules.size()); ++i)
        paperRules[i] = new LineControl(paperLines()[i], paper);
    for (int i = 0; i < int(diagnosisUnderlines.size()); ++i) {
        LineControl* guide = new LineControl(diagnosisGuides()[i], paper);
        guide->setPenStyle(Qt::DotLine);
        guide->setColor(QColor(0xc0, 0xc0, 0xc0));
        diagnosisUnderlines[i] = guide;
    }
    for (int i = 0; i < int(paperRules.size()); ++i)
        paperRules[i]->setObjectName(arrayName("Line2", i));
    for (int i = 0; i < int(diagnosisUnderlines.size()); ++i)
        diagnosisUnderlines[i]->setObjectName(QStringLiteral("Line%1").arg(3 + i));

    paperCaptions[0] = placed<QLabel>(paper, arrayName("Label2", 0), 0, 300, 4200, 405);
    paperCaptions[0]->setFont(deskFont(kHei, 20.25));
    paperCaptions[1] = caption(paper, arrayName("Label2", 1), QStringLiteral("诊断："), 240, 2340);
    paperCaptions[1]->setFont(deskFont(kSong, 12, true));
    paperCaptions[1]->adjustSize();
    paperCaptions[2] = caption(paper, arrayName("Label2", 2), QStringLiteral("Rp："), 3180, 2280);
    paperCaptions[2]->setFont(deskFont(kSong, 15.75, true));
    paperCaptions[2]->adjustSize();
    recordKeyLabel = placed<QLabel>(paper, QStringLiteral("Label4"), 7860, 300, 2415, 315);
    recordKeyLabel->hide();

    for (int i = 0; i < kFieldCount; ++i)
        buildFieldBox(i);

    body = placed<QPlainTextEdit>(paper, QStringLiteral("R1"), 4560, 2580, 5775, 3975);
    body->setFrameShape(QFrame::NoFrame);
    body->setFont(deskFont(kSong, 12));
    body->setTabChangesFocus(true);
    body->viewport()->installEventFilter(this);

    diagnosisList = placed<QListWidget>(paper, QStringLiteral("List3"), 900, 3960, 2055, 1290);
    speciesList = placed<QListWidget>(paper, QStringLiteral("List4"), 1260, 1680, 1455, 1290);
    for (QListWidget* list : { diagnosisList, speciesList }) {
        setColours(list, Qt::blue, Qt::white);
        list->hide();
        list->installEventFilter(this);
    }
    connect(diagnosisList, &QListWidget::itemDoubleClicked, this, &PrescriptionDesk::pickDiagnosis);
    connect(speciesList, &QListWidget::itemDoubleClicked, this, &PrescriptionDesk::pickSpecies);
}

void PrescriptionDesk::buildFieldBox(int i)
{
    const FieldBox& field = qv::fieldBoxes()[i];
    fieldBoxes[i] = placed<QWidget>(paper, arrayName("Picture1", i), field.box.left(), field.box.top(),
        field.box.width(), field.box.height());
    fieldBoxes[i]->setAutoFillBackground(true);
    fieldCaptions[i] = caption(fieldBoxes[i], arrayName("Label3", i), field.caption, 0, kCaptionTop);
    fieldCaptions[i]->setFont(deskFont(kSong, 12, true));
    fieldEdits[i] = new FieldEdit(fieldBoxes[i]);
    fieldEdits[i]->setObjectName(arrayName("Text5", i));
    fieldEdits[i]->setFrame(false);
    fieldEdits[i]->setFont(deskFont(kSong, 12));
    setColours(fieldEdits[i], Qt::blue, Qt::white);
    fieldUnderlines[i] = new LineControl(QLineF(), fieldBoxes[i]);
    fieldUnderlines[i]->setObjectName(arrayName("Line1", i));
    // The diagnosis lines are underlined by the dotted guides of the paper instead.
    fieldUnderlines[i]->setVisible(!isDiagnosisField(i));
    connectHeaderField(i);
}

void PrescriptionDesk::buildQuickInsertBar()
{
    quickInsertBar = placed<QFrame>(this, QStringLiteral("Picture3"), 3720, 8130, 10815, 375);
    for (const QuickInsertLabel& q : kQuickInsert) {
        auto* label
            = placed<ClickLabel>(quickInsertBar, arrayName("Label5", q.index), q.left, q.top, q.width, 180);
        label->setText(QString::fromUtf16(q.caption));
        // Never narrower or lower than its text in the font at hand, so "mg" does not show as "m".
        label->resize(label->size().expandedTo(label->sizeHint()));
        label->setCursor(Qt::PointingHandCursor);
        quickInsertLabels[q.index] = label;
        connect(label, &ClickLabel::clicked, this, [this, i = q.index] { quickInsert(i); });
    }
}

void PrescriptionDesk::setEntryTabOrder()
{
    // The data-entry path first; the signature fields and the archive controls come late.
    QList<QWidget*> order;
    for (int i : { 0, 1, 2, 3, 4, 5, 6, 10, 11, 12 })
        order << fieldEdits[i];
    order << searchBox << resultList << body;
    for (int i : { 7, 8, 9 })
        order << fieldEdits[i];
    order << ownerFilter << archiveQueryButton << fromDate << todayButton << toDate << previousDayButton
          << nextDayButton << archiveList;
    for (int i : { 1, 0, 2, 3, 4, 5 })
        order << categoryButtons[i];
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void PrescriptionDesk::load()
{
    // The main window places the desk (and re-centres it on every resize of its own).
    m_pickerSuppressed = true;
    paperCaptions[0]->setText(settingsValue(&SettingsReaders::practiceName));
    centreTitle();
    m_currentCategory = Western;
    markCategoryButton(m_currentCategory);

    const QDate today = m_services.clock->now().date();
    fromDate->setText(today.addMonths(-1).toString(QStringLiteral("yyyy-MM-dd")));
    toDate->setText(today.toString(QStringLiteral("yyyy-MM-dd")));
    runArchiveQuery();

    layoutFieldBoxes();
    body->setAutoFillBackground(true);
    setColours(body, Qt::black, Qt::white);

    // Each value is read from the clock when it is set.
    fieldEdits[kArchiveNumberField]->setText(
        m_services.clock->now().toString(QStringLiteral("yyyyMMddHHmmss")));
    fieldEdits[kDateField]->setText(m_services.clock->now().date().toString(QStringLiteral("yyyy-MM-dd")));
    recordKeyLabel->setText(m_keys.nextPlain(m_services.clock->now()));

    fieldEdits[kVeterinarianField]->setText(settingsValue(&SettingsReaders::veterinarian));
    fieldEdits[kPractisingNumberField]->setText(settingsValue(&SettingsReaders::practisingNumber));
    fieldEdits[kDispenserField]->setText(settingsValue(&SettingsReaders::dispenser));

    fillResultList(categoryListQuery(Western, searchBox->text()));
    markSettled();
}

void PrescriptionDesk::layoutFieldBoxes()
{
    for (int i = 0; i < kFieldCount; ++i) {
        fieldCaptions[i]->move(0, twips(kCaptionTop));
        fieldCaptions[i]->adjustSize();
        // The caption keeps its own width but only the box's height below its top: the substitute fonts have
        // a taller line than the designed ones, and a centred caption would otherwise lose its lower edge.
        fieldCaptions[i]->resize(
            fieldCaptions[i]->width(), twips(qv::fieldBoxes()[i].box.height() - kCaptionTop));
        // A caption without text takes no room.
        const double captionWidth
            = fieldCaptions[i]->text().isEmpty() ? 0 : pixelsToTwips(fieldCaptions[i]->width());
        const FieldBoxLayout layout = fieldBoxLayout(qv::fieldBoxes()[i].box.width(), captionWidth);
        fieldEdits[i]->setGeometry(
            twipsRect(layout.value.left(), layout.value.top(), layout.value.width(), layout.value.height()));
        fieldEdits[i]->clear();
        fieldUnderlines[i]->setLine(layout.underline);
        setColours(fieldBoxes[i], Qt::black, Qt::white);
    }
}

void PrescriptionDesk::centreTitle()
{
    paperCaptions[0]->adjustSize();
    paperCaptions[0]->move(int(centredLeft(paper->width(), paperCaptions[0]->width())), twips(300));
}

QString PrescriptionDesk::settingsValue(QString (SettingsReaders::*reader)())
{
    // Without the settings window the names stay empty.
    return m_services.settings ? (m_services.settings->*reader)() : QString();
}

} // namespace qv
