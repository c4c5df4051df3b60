#include "DecimalMark.h"

namespace pricelists {

MarkEvidence evidenceOf(QStringView t) {
    if (!t.isEmpty() && (t.front() == u'-' || t.front() == u'+'))
        t = t.mid(1);
    qsizetype points = 0, commas = 0, last = -1;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'.' || c == u',') {
            (c == u'.' ? points : commas) += 1;
            last = i;
        } else if (c < u'0' || c > u'9') {
            return MarkEvidence::None; // not a number at all
        }
    }
    if (last < 0)
        return MarkEvidence::None;
    const bool lastIsPoint = t[last] == u'.';
    if (points > 0 && commas > 0)
        return lastIsPoint ? MarkEvidence::Point : MarkEvidence::Comma;
    // One kind only: several of them can only be thousands.
    if (points + commas > 1)
        return lastIsPoint ? MarkEvidence::Comma : MarkEvidence::Point;
    // One: three digits after it, one to three before (not a lone zero), read either way.
    const qsizetype before = last;
    const qsizetype after = t.size() - last - 1;
    if (after == 3 && before >= 1 && before <= 3 && t.front() != u'0')
        return MarkEvidence::Ambiguous;
    return lastIsPoint ? MarkEvidence::Point : MarkEvidence::Comma;
}

} // namespace pricelists
