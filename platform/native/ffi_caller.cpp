#include "platform/native/ffi_caller.h"

#include <ffi.h>

#include <array>

namespace kestrin {

namespace {

class FfiCall : public NativeCall {
public:
    bool Prepare(const NativeSignature& signature) {
        argc_ = signature.argc;
        text_result_ = signature.text_result;
        for (int32_t i = 0; i < argc_; ++i)
            types_[static_cast<size_t>(i)] =
                signature.text_argument[i] ? &ffi_type_pointer : &ffi_type_double;
        return ffi_prep_cif(&cif_, FFI_DEFAULT_ABI, static_cast<unsigned>(argc_),
                            text_result_ ? &ffi_type_pointer : &ffi_type_double, types_.data()) == FFI_OK;
    }

    void Invoke(void* entry, const NativeArgument* args, NativeResult& result) const override {
        // libffi reads each argument through a pointer to it; the union holds either form at
        // its start.
        std::array<void*, kMaxNativeArguments> values{};
        for (int32_t i = 0; i < argc_; ++i)
            values[static_cast<size_t>(i)] = const_cast<NativeArgument*>(&args[i]);
        union {
            ffi_arg word;
            double real;
            void* pointer;
        } returned{};
        ffi_call(const_cast<ffi_cif*>(&cif_), FFI_FN(entry), &returned, values.data());
        if (text_result_)
            result.text = static_cast<const char*>(returned.pointer);
        else
            result.real = returned.real;
    }

private:
    ffi_cif cif_{};
    std::array<ffi_type*, kMaxNativeArguments> types_{};
    int32_t argc_ = 0;
    bool text_result_ = false;
};

// double f(double, ...) with N arguments, called as such.
template <int N> class DirectRealCall : public NativeCall {
public:
    void Invoke(void* entry, const NativeArgument* a, NativeResult& result) const override {
        if constexpr (N == 0)
            result.real = reinterpret_cast<double (*)()>(entry)();
        else if constexpr (N == 1)
            result.real = reinterpret_cast<double (*)(double)>(entry)(a[0].real);
        else if constexpr (N == 2)
            result.real = reinterpret_cast<double (*)(double, double)>(entry)(a[0].real, a[1].real);
        else if constexpr (N == 3)
            result.real =
                reinterpret_cast<double (*)(double, double, double)>(entry)(a[0].real, a[1].real, a[2].real);
        else if constexpr (N == 4)
            result.real = reinterpret_cast<double (*)(double, double, double, double)>(entry)(
                a[0].real, a[1].real, a[2].real, a[3].real);
        else if constexpr (N == 5)
            result.real = reinterpret_cast<double (*)(double, double, double, double, double)>(entry)(
                a[0].real, a[1].real, a[2].real, a[3].real, a[4].real);
        else if constexpr (N == 6)
            result.real = reinterpret_cast<double (*)(double, double, double, double, double, double)>(entry)(
                a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, a[5].real);
        else if constexpr (N == 7)
            result.real =
                reinterpret_cast<double (*)(double, double, double, double, double, double, double)>(entry)(
                    a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, a[5].real, a[6].real);
        else
            result.real =
                reinterpret_cast<double (*)(double, double, double, double, double, double, double, double)>(
                    entry)(a[0].real, a[1].real, a[2].real, a[3].real, a[4].real, a[5].real, a[6].real,
                           a[7].real);
    }
};

std::unique_ptr<NativeCall> MakeDirect(int32_t argc) {
    switch (argc) {
    case 0:
        return std::make_unique<DirectRealCall<0>>();
    case 1:
        return std::make_unique<DirectRealCall<1>>();
    case 2:
        return std::make_unique<DirectRealCall<2>>();
    case 3:
        return std::make_unique<DirectRealCall<3>>();
    case 4:
        return std::make_unique<DirectRealCall<4>>();
    case 5:
        return std::make_unique<DirectRealCall<5>>();
    case 6:
        return std::make_unique<DirectRealCall<6>>();
    case 7:
        return std::make_unique<DirectRealCall<7>>();
    case 8:
        return std::make_unique<DirectRealCall<8>>();
    default:
        return nullptr;
    }
}

class FfiCaller : public NativeCaller {
public:
    explicit FfiCaller(bool direct) : direct_(direct) {}

    std::unique_ptr<NativeCall> Prepare(const NativeSignature& signature) override {
        if (signature.argc < 0 || signature.argc > kMaxNativeArguments) return nullptr;
        if (direct_ && !signature.text_result && signature.argc <= 8) {
            bool reals = true;
            for (int32_t i = 0; i < signature.argc; ++i) reals = reals && !signature.text_argument[i];
            if (reals) return MakeDirect(signature.argc);
        }
        auto call = std::make_unique<FfiCall>();
        if (!call->Prepare(signature)) return nullptr;
        return call;
    }

private:
    bool direct_;
};

} // namespace

std::shared_ptr<NativeCaller> MakeFfiNativeCaller(bool direct_reals) {
    return std::make_shared<FfiCaller>(direct_reals);
}

} // namespace kestrin
