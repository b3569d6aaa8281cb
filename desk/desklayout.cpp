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
    setFocusProxy(Text5[0]);
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
    Frame1 = placed<QFrame>(this, QStringLiteral("Frame1"), 60, 0, 14505, 795);
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    for (const ToolbarButton& b : kToolbar) {
        const int i = b.index;
        const bool wide = i == 5 || i == 6 || i == 8;
        const QString text = QString::fromUtf16(b.caption);
        Picture4[i] = placed<QFrame>(Frame1, arrayName("Picture4", i), b.left, 180, wide ? 1455 : 1095, 555);
        Picture4[i]->setAutoFillBackground(true);
        Picture4[i]->setBackgroundRole(QPalette::Button);
        Image7[i] = placed<QLabel>(Picture4[i], arrayName("Image7", i), 60, 60, 450, 450);
        Image7[i]->setPixmap(toolbarIcon(text, b.colour, twips(450)));
        Label15[i] = caption(Picture4[i], arrayName("Label15", i), text, 600, 180);
        Label18[i] = placed<ClickLabel>(Picture4[i], arrayName("Label18", i), 0, 0, wide ? 1455 : 1095, 555);
        Label18[i]->setCursor(Qt::PointingHandCursor);
        // The button looks pressed while a mouse button is held on it; the release runs its action, also
        // when the mouse was dragged off (the release goes to the button where the press began).
        connect(Label18[i], &ClickLabel::pressed, this,
            [this, i] { Picture4[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken); });
        connect(Label18[i], &ClickLabel::released, this, [this, i] {
            Picture4[i]->setFrameStyle(QFrame::NoFrame);
            runToolbarAction(i);
        });
    }
}

void PrescriptionDesk::buildPicker()
{
    Label8[1] = caption(this, arrayName("Label8", 1), QStringLiteral("中文或拼音查询"), 60, 1650);
    setColours(Label8[1], Qt::red);
    Text1 = placed<QLineEdit>(this, QStringLiteral("Text1"), 1380, 1590, 2295, 315);
    Text1->setFont(deskFont(kSong, 12));
    setColours(Text1, Qt::red, QColor(0xff, 0xff, 0xc0));
    for (const CategoryButton& b : kCategoryButtons) {
        auto* button = placed<QPushButton>(this, arrayName("Command1", b.index), b.left, b.top, b.width, 300);
        button->setText(drugCategoryCaption(b.index));
        button->setFont(deskFont(kSong, 9));
        Command1[b.index] = button;
        connect(button, &QPushButton::clicked, this, [this, i = b.index] { switchCategory(i); });
    }
    List1 = placed<QListWidget>(this, QStringLiteral("List1"), 60, 1980, 3615, 2940);

    connect(Text1, &QLineEdit::textChanged, this, &PrescriptionDesk::runSearch);
    connect(List1, &QListWidget::itemDoubleClicked, this, &PrescriptionDesk::addChosenRow);
    Text1->installEventFilter(this);
    List1->installEventFilter(this);
    List1->viewport()->installEventFilter(this);
}

void PrescriptionDesk::buildArchivePanel()
{
    Label8[2] = caption(this, arrayName("Label8", 2), QStringLiteral("动物主人"), 60, 5100);
    Text2 = placed<QLineEdit>(this, QStringLiteral("Text2"), 900, 5040, 1695, 315);
    Command7 = placed<QPushButton>(this, QStringLiteral("Command7"), 2700, 5040, 930, 345);
    Command7->setText(QStringLiteral("查   询"));
    Label8[0] = caption(this, arrayName("Label8", 0), QStringLiteral("日    期"), 60, 5520);
    Text3 = placed<QLineEdit>(this, QStringLiteral("Text3"), 900, 5460, 1695, 315);
    Command2 = placed<QPushButton>(this, QStringLiteral("Command2"), 2700, 5460, 930, 345);
    Command2->setText(QStringLiteral("今   日"));
    Label1 = caption(this, QStringLiteral("Label1"), QStringLiteral("至"), 600, 5940);
    Text4 = placed<QLineEdit>(this, QStringLiteral("Text4"), 900, 5880, 1695, 315);
    Command5 = placed<QPushButton>(this, QStringLiteral("Command5"), 2700, 5880, 450, 310);
    Command5->setText(QStringLiteral("<<"));
    Command6 = placed<QPushButton>(this, QStringLiteral("Command6"), 3180, 5880, 450, 310);
    Command6->setText(QStringLiteral(">>"));
    List2 = placed<ArchiveList>(this, QStringLiteral("List2"), 60, 6300, 3615, 2220);

    // The pop-up panel of the archive list: a small menu-like panel, hidden until a right click.
    Picture6 = placed<QFrame>(this, QStringLiteral("Picture6"), 1380, 6960, 1065, 840);
    Picture6->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Picture6->setAutoFillBackground(true);
    setColours(Picture6, Qt::black, Qt::white);
    Label9[0] = placed<ClickLabel>(Picture6, arrayName("Label9", 0), 30, 120, 975, 225);
    Label9[0]->setText(QStringLiteral("删除(D)"));
    Label9[1] = placed<ClickLabel>(Picture6, arrayName("Label9", 1), 60, 480, 915, 225);
    Label9[1]->setText(QStringLiteral("取消(E)"));
    Picture6->hide();

    connect(Command7, &QPushButton::clicked, this, &PrescriptionDesk::runArchiveQuery);
}

void PrescriptionDesk::buildPaper()
{
    Picture2 = placed<QWidget>(this, QStringLiteral("Picture2"), 3720, 840, 10830, 7257);
    Picture2->setAutoFillBackground(true);
    setColours(Picture2, Qt::black, Qt::white);
    Picture2->installEventFilter(this);

    for (int i = 0; i < int(Line2.size()); ++i)
        Line2[i] = new LineControl(paperLines()[i], Picture2);
    Line3 = new LineControl(diagnosisGuides()[0], Picture2);
    Line4 = new LineControl(diagnosisGuides()[1], Picture2);
    Line5 = new LineControl(diagnosisGuides()[2], Picture2);
    for (LineControl* guide : { Line3, Line4, Line5 }) {
        guide->setPenStyle(Qt::DotLine);
        guide->setColor(QColor(0xc0, 0xc0, 0xc0));
    }
    for (int i = 0; i < int(Line2.size()); ++i)
        Line2[i]->setObjectName(arrayName("Line2", i));
    Line3->setObjectName(QStringLiteral("Line3"));
    Line4->setObjectName(QStringLiteral("Line4"));
    Line5->setObjectName(QStringLiteral("Line5"));

    Label2[0] = placed<QLabel>(Picture2, arrayName("Label2", 0), 0, 300, 4200, 405);
    Label2[0]->setFont(deskFont(kHei, 20.25));
    Label2[1] = caption(Picture2, arrayName("Label2", 1), QStringLiteral("诊断："), 240, 2340);
    Label2[1]->setFont(deskFont(kSong, 12, true));
    Label2[1]->adjustSize();
    Label2[2] = caption(Picture2, arrayName("Label2", 2), QStringLiteral("Rp："), 3180, 2280);
    Label2[2]->setFont(deskFont(kSong, 15.75, true));
    Label2[2]->adjustSize();
    Label4 = placed<QLabel>(Picture2, QStringLiteral("Label4"), 7860, 300, 2415, 315);
    Label4->hide();

    for (int i = 0; i < kFieldCount; ++i)
        buildFieldBox(i);

    R1 = placed<QPlainTextEdit>(Picture2, QStringLiteral("R1"), 4560, 2580, 5775, 3975);
    R1->setFrameShape(QFrame::NoFrame);
    R1->setFont(deskFont(kSong, 12));
    R1->setTabChangesFocus(true);
    R1->viewport()->installEventFilter(this);

    List3 = placed<QListWidget>(Picture2, QStringLiteral("List3"), 900, 3960, 2055, 1290);
    List4 = placed<QListWidget>(Picture2, QStringLiteral("List4"), 1260, 1680, 1455, 1290);
    for (QListWidget* list : { List3, List4 }) {
        setColours(list, Qt::blue, Qt::white);
        list->hide();
        list->installEventFilter(this);
    }
    connect(List3, &QListWidget::itemDoubleClicked, this, &PrescriptionDesk::pickDiagnosis);
    connect(List4, &QListWidget::itemDoubleClicked, this, &PrescriptionDesk::pickSpecies);
}

void PrescriptionDesk::buildFieldBox(int i)
{
    const FieldBox& field = fieldBoxes()[i];
    Picture1[i] = placed<QWidget>(Picture2, arrayName("Picture1", i), field.box.left(), field.box.top(),
        field.box.width(), field.box.height());
    Picture1[i]->setAutoFillBackground(true);
    Label3[i] = caption(Picture1[i], arrayName("Label3", i), field.caption, 0, kCaptionTop);
    Label3[i]->setFont(deskFont(kSong, 12, true));
    Text5[i] = new FieldEdit(Picture1[i]);
    Text5[i]->setObjectName(arrayName("Text5", i));
    Text5[i]->setFrame(false);
    Text5[i]->setFont(deskFont(kSong, 12));
    setColours(Text5[i], Qt::blue, Qt::white);
    Line1[i] = new LineControl(QLineF(), Picture1[i]);
    Line1[i]->setObjectName(arrayName("Line1", i));
    // The diagnosis lines are underlined by the dotted guides of the paper instead.
    Line1[i]->setVisible(!isDiagnosisField(i));
    connectHeaderField(i);
}

void PrescriptionDesk::buildQuickInsertBar()
{
    Picture3 = placed<QFrame>(this, QStringLiteral("Picture3"), 3720, 8130, 10815, 375);
    for (const QuickInsertLabel& q : kQuickInsert) {
        auto* label = placed<ClickLabel>(Picture3, arrayName("Label5", q.index), q.left, q.top, q.width, 180);
        label->setText(QString::fromUtf16(q.caption));
        // Never narrower or lower than its text in the font at hand, so "mg" does not show as "m".
        label->resize(label->size().expandedTo(label->sizeHint()));
        label->setCursor(Qt::PointingHandCursor);
        Label5[q.index] = label;
        connect(label, &ClickLabel::clicked, this, [this, i = q.index] { quickInsert(i); });
    }
}

void PrescriptionDesk::setEntryTabOrder()
{
    // The data-entry path first; the signature fields and the archive controls come late.
    QList<QWidget*> order;
    for (int i : { 0, 1, 2, 3, 4, 5, 6, 10, 11, 12 })
        order << Text5[i];
    order << Text1 << List1 << R1;
    for (int i : { 7, 8, 9 })
        order << Text5[i];
    order << Text2 << Command7 << Text3 << Command2 << Text4 << Command5 << Command6 << List2;
    for (int i : { 1, 0, 2, 3, 4, 5 })
        order << Command1[i];
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void PrescriptionDesk::load()
{
    // The main window places the desk (and re-centres it on every resize of its own).
    m_pickerSuppressed = true;
    Label2[0]->setText(settingsValue(&SettingsReaders::practiceName));
    centreTitle();
    m_currentCategory = Western;
    markCategoryButton(m_currentCategory);

    const QDate today = m_services.clock->now().date();
    Text3->setText(today.addMonths(-1).toString(QStringLiteral("yyyy-MM-dd")));
    Text4->setText(today.toString(QStringLiteral("yyyy-MM-dd")));
    runArchiveQuery();

    layoutFieldBoxes();
    R1->setAutoFillBackground(true);
    setColours(R1, Qt::black, Qt::white);

    // Each value is read from the clock when it is set.
    Text5[kArchiveNumberField]->setText(m_services.clock->now().toString(QStringLiteral("yyyyMMddHHmmss")));
    Text5[kDateField]->setText(m_services.clock->now().date().toString(QStringLiteral("yyyy-MM-dd")));
    Label4->setText(m_keys.nextPlain(m_services.clock->now()));

    Text5[kVeterinarianField]->setText(settingsValue(&SettingsReaders::veterinarian));
    Text5[kPractisingNumberField]->setText(settingsValue(&SettingsReaders::practisingNumber));
    Text5[kDispenserField]->setText(settingsValue(&SettingsReaders::dispenser));

    fillResultList(categoryListQuery(Western, Text1->text()));
    markSettled();
}

void PrescriptionDesk::layoutFieldBoxes()
{
    for (int i = 0; i < kFieldCount; ++i) {
        Label3[i]->move(0, twips(kCaptionTop));
        Label3[i]->adjustSize();
        // The caption keeps its own width but only the box's height below its top: the substitute fonts have
        // a taller line than the designed ones, and a centred caption would otherwise lose its lower edge.
        Label3[i]->resize(Label3[i]->width(), twips(fieldBoxes()[i].box.height() - kCaptionTop));
        // A caption without text takes no room.
        const double captionWidth = Label3[i]->text().isEmpty() ? 0 : pixelsToTwips(Label3[i]->width());
        const FieldBoxLayout layout = fieldBoxLayout(fieldBoxes()[i].box.width(), captionWidth);
        Text5[i]->setGeometry(
            twipsRect(layout.value.left(), layout.value.top(), layout.value.width(), layout.value.height()));
        Text5[i]->clear();
        Line1[i]->setLine(layout.underline);
        setColours(Picture1[i], Qt::black, Qt::white);
    }
}

void PrescriptionDesk::centreTitle()
{
    Label2[0]->adjustSize();
    Label2[0]->move(int(centredLeft(Picture2->width(), Label2[0]->width())), twips(300));
}

QString PrescriptionDesk::settingsValue(QString (SettingsReaders::*reader)())
{
    // Without the settings window the names stay empty.
    return m_services.settings ? (m_services.settings->*reader)() : QString();
}

} // namespace qv
