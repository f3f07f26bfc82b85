#pragma once

#include "dayrecordfile.h"

#include <QWidget>

#include <memory>

namespace Ui {
class DayRecordPanel;
}

class QLineEdit;

// The day record part of the day dialog: bleeding, pain, symptoms, mucus, ovulation test, pill, sex and
// weight, one control each. What this version cannot show (a newer version's keys and values) rides
// along with the record unchanged.
class DayRecordPanel final : public QWidget
{
    Q_OBJECT

public:
    explicit DayRecordPanel(QWidget *parent = nullptr);
    ~DayRecordPanel() override;

    // Shows the record; an empty one clears every field.
    void setRecord(const DayRecord &record);

    // The record the fields show, on the record set last; nothing when the weight is not a weight.
    std::optional<DayRecord> record() const;

    QLineEdit *weightField() const;

    // What a record holds in the words of the fields, for a list: "多い・痛み:強い・鎮痛剤・頭痛・体重 52.3".
    static QString summary(const DayRecord &record);

    // The notice for a weight outside the range the file takes.
    static QString weightRangeNotice();

private:
    std::unique_ptr<Ui::DayRecordPanel> ui;
    DayRecord m_shown;
};
