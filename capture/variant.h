#pragma once

#include "capture/platform.h"

// Owns one VARIANT: empty from the start, and cleared (its string freed) when it goes or is
// filled again.
class VariantValue {
  public:
    VariantValue() { VariantInit(&value_); }
    ~VariantValue() { VariantClear(&value_); }
    VariantValue(const VariantValue&) = delete;
    VariantValue& operator=(const VariantValue&) = delete;

    // Clears what it holds and hands out the variant for a call that fills it.
    VARIANT* Put() {
        VariantClear(&value_);
        return &value_;
    }
    // The string it holds; none when it holds something else.
    const OLECHAR* String() const { return value_.vt == VT_BSTR ? value_.bstrVal : nullptr; }

  private:
    VARIANT value_;
};
