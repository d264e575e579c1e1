#include "state/SystemKey.h"

#include "state/AccountText.h"

namespace SystemKey {

namespace {

// Never change: every account and policy value ever stored depends on it.
constexpr char16_t kBuiltIn[] = u"Tv#8qLm2Wz!Ks5Rd";
static_assert(sizeof(kBuiltIn) / sizeof(kBuiltIn[0]) == 17, "the constant has 16 characters");

} // namespace

QString build()
{
    return AccountText::UnsaltText(QString::fromUtf16(kBuiltIn));
}

} // namespace SystemKey
