#include "daywords.h"

#include <array>

QString flowText(Flow flow)
{
    switch (flow) {
    case Flow::Spotting:
        return QStringLiteral("少量");
    case Flow::Light:
        return QStringLiteral("少ない");
    case Flow::Medium:
        return QStringLiteral("普通");
    case Flow::Heavy:
        return QStringLiteral("多い");
    }
    return QString();
}

QString flowCaption(Flow flow)
{
    // Where she chooses it, spotting is told apart from discharge.
    return flow == Flow::Spotting ? QStringLiteral("少量 (おりもの程度)") : flowText(flow);
}

QString symptomCaption(const QString &token)
{
    static const std::array<const char16_t *, SymptomTokens.size()> captions = {
        u"腹痛", u"腰痛",       u"頭痛",   u"胸の張り", u"吐き気",   u"肌荒れ", u"むくみ",
        u"眠気", u"便通の変化", u"だるさ", u"イライラ", u"落ち込み", u"不安",
    };
    for (std::size_t t = 0; t < SymptomTokens.size(); ++t) {
        if (token == QLatin1String(SymptomTokens[t])) {
            return QString::fromUtf16(captions[t]);
        }
    }
    return token;
}
