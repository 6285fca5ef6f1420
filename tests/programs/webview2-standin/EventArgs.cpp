#include "EventArgs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>

namespace standin {

// --- MemoryStream ---

const Vtable& MemoryStream::vtable() {
    static const Vtable table = Vtable::make<streamInterface>()
                                    .set(slotOf(streamInterface, "Read"), &read)
                                    .set(slotOf(streamInterface, "Seek"), &seek)
                                    .set(slotOf(streamInterface, "Stat"), &stat);
    return table;
}

MemoryStream::MemoryStream(std::string bytes)
    : ComObject(vtable(), "request content stream"), bytes_(std::move(bytes)) {}

HRESULT STDMETHODCALLTYPE MemoryStream::read(void* self, void* buffer, ULONG size, ULONG* readCount) {
    auto& stream = of<MemoryStream>(self);
    stream.enter("Read");
    if (buffer == nullptr && size > 0)
        return STG_E_INVALIDPOINTER;
    const std::size_t count = std::min<std::size_t>(size, stream.bytes_.size() - stream.position_);
    std::memcpy(buffer, stream.bytes_.data() + stream.position_, count);
    stream.position_ += count;
    if (readCount != nullptr)
        *readCount = static_cast<ULONG>(count);
    return count < size ? S_FALSE : S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::seek(void* self, LARGE_INTEGER move, DWORD origin,
                                             ULARGE_INTEGER* position) {
    auto& stream = of<MemoryStream>(self);
    stream.enter("Seek");
    long long base = origin == STREAM_SEEK_SET   ? 0
                     : origin == STREAM_SEEK_CUR ? static_cast<long long>(stream.position_)
                                                 : static_cast<long long>(stream.bytes_.size());
    const long long target = base + move.QuadPart;
    if (target < 0)
        return STG_E_INVALIDFUNCTION;
    stream.position_ = std::min<std::size_t>(static_cast<std::size_t>(target), stream.bytes_.size());
    if (position != nullptr)
        position->QuadPart = stream.position_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::stat(void* self, STATSTG* statistics, DWORD) {
    auto& stream = of<MemoryStream>(self);
    stream.enter("Stat");
    if (statistics == nullptr)
        return STG_E_INVALIDPOINTER;
    *statistics = STATSTG{};
    statistics->type = STGTY_STREAM;
    statistics->cbSize.QuadPart = stream.bytes_.size();
    return S_OK;
}

// --- ResourceResponse ---

const Vtable& ResourceResponse::vtable() {
    static const Vtable table = Vtable::make<resourceResponseInterface>();
    return table;
}

ResourceResponse::ResourceResponse(IStream* content, int status, std::wstring reason, std::wstring headers)
    : ComObject(vtable(), "web resource response"), content_(content), status_(status),
      reason_(std::move(reason)), headers_(std::move(headers)) {}

ResourceResponse* ResourceResponse::fromFace(void* face) {
    if (face == nullptr || *static_cast<const Slot* const*>(face) != vtable().slots())
        return nullptr;
    return &of<ResourceResponse>(face);
}

std::string ResourceResponse::readContent() const {
    std::string bytes;
    if (!content_)
        return bytes;
    auto* stream = static_cast<IStream*>(content_.get());
    char buffer[16384];
    for (;;) {
        ULONG got = 0;
        const HRESULT result = stream->Read(buffer, sizeof buffer, &got);
        bytes.append(buffer, got);
        if (FAILED(result) || got == 0)
            break;
    }
    return bytes;
}

// --- ResourceRequest ---

const Vtable& ResourceRequest::vtable() {
    static const Vtable table = Vtable::make<resourceRequestInterface>()
                                    .set(slotOf(resourceRequestInterface, "get_Uri"), &getUri)
                                    .set(slotOf(resourceRequestInterface, "get_Method"), &getMethod)
                                    .set(slotOf(resourceRequestInterface, "get_Content"), &getContent);
    return table;
}

ResourceRequest::ResourceRequest(std::wstring uri, std::wstring method, std::string body, bool hasBody)
    : ComObject(vtable(), "web resource request"), uri_(std::move(uri)), method_(std::move(method)) {
    if (hasBody)
        content_ = Owned<MemoryStream>::adopt(new MemoryStream(std::move(body)));
}

HRESULT STDMETHODCALLTYPE ResourceRequest::getUri(void* self, LPWSTR* uri) {
    auto& request = of<ResourceRequest>(self);
    request.enter("get_Uri");
    if (uri == nullptr)
        return E_POINTER;
    *uri = hostString(request.uri_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ResourceRequest::getMethod(void* self, LPWSTR* method) {
    auto& request = of<ResourceRequest>(self);
    request.enter("get_Method");
    if (method == nullptr)
        return E_POINTER;
    *method = hostString(request.method_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ResourceRequest::getContent(void* self, void** content) {
    auto& request = of<ResourceRequest>(self);
    request.enter("get_Content");
    if (content == nullptr)
        return E_POINTER;
    // No content: a null stream, as for a GET.
    *content = request.content_ ? request.content_.give() : nullptr;
    return S_OK;
}

// --- ResourceRequestedArgs ---

const Vtable& ResourceRequestedArgs::vtable() {
    static const Vtable table =
        Vtable::make<resourceRequestedArgsInterface>()
            .set(slotOf(resourceRequestedArgsInterface, "get_Request"), &getRequest)
            .set(slotOf(resourceRequestedArgsInterface, "put_Response"), &putResponse);
    return table;
}

ResourceRequestedArgs::ResourceRequestedArgs(Owned<ResourceRequest> request)
    : ComObject(vtable(), "web resource requested event args"), request_(std::move(request)) {}

HRESULT STDMETHODCALLTYPE ResourceRequestedArgs::getRequest(void* self, void** request) {
    auto& args = of<ResourceRequestedArgs>(self);
    args.enter("get_Request");
    if (request == nullptr)
        return E_POINTER;
    *request = args.request_.give();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ResourceRequestedArgs::putResponse(void* self, void* response) {
    auto& args = of<ResourceRequestedArgs>(self);
    args.enter("put_Response");
    ResourceResponse* ours = ResourceResponse::fromFace(response);
    if (response != nullptr && ours == nullptr) {
        Ledger::instance().breach("put_Response with an object that CreateWebResourceResponse did not make");
        return E_INVALIDARG;
    }
    args.response_ = Owned<ResourceResponse>::share(ours);
    return S_OK;
}

// --- WebMessageArgs ---

const Vtable& WebMessageArgs::vtable() {
    static const Vtable table = Vtable::make<webMessageArgsInterface>().set(
        slotOf(webMessageArgsInterface, "TryGetWebMessageAsString"), &tryGetString);
    return table;
}

WebMessageArgs::WebMessageArgs(std::string json)
    : ComObject(vtable(), "web message event args"), json_(std::move(json)) {}

HRESULT STDMETHODCALLTYPE WebMessageArgs::tryGetString(void* self, LPWSTR* message) {
    auto& args = of<WebMessageArgs>(self);
    args.enter("TryGetWebMessageAsString");
    if (message == nullptr)
        return E_POINTER;
    *message = nullptr;
    try {
        const auto value = nlohmann::json::parse(args.json_);
        if (!value.is_string())
            return E_INVALIDARG;
        *message = hostString(wide(value.get<std::string>()));
        return S_OK;
    } catch (const std::exception&) {
        return E_INVALIDARG;
    }
}

// --- NavigationStartingArgs ---

const Vtable& NavigationStartingArgs::vtable() {
    static const Vtable table = Vtable::make<navigationStartingArgsInterface>()
                                    .set(slotOf(navigationStartingArgsInterface, "get_Uri"), &getUri)
                                    .set(slotOf(navigationStartingArgsInterface, "put_Cancel"), &putCancel);
    return table;
}

NavigationStartingArgs::NavigationStartingArgs(std::wstring uri)
    : ComObject(vtable(), "navigation starting event args"), uri_(std::move(uri)) {}

HRESULT STDMETHODCALLTYPE NavigationStartingArgs::getUri(void* self, LPWSTR* uri) {
    auto& args = of<NavigationStartingArgs>(self);
    args.enter("get_Uri");
    if (uri == nullptr)
        return E_POINTER;
    *uri = hostString(args.uri_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE NavigationStartingArgs::putCancel(void* self, BOOL cancel) {
    auto& args = of<NavigationStartingArgs>(self);
    args.enter("put_Cancel");
    args.cancel_ = cancel != FALSE;
    return S_OK;
}

// --- NewWindowArgs ---

const Vtable& NewWindowArgs::vtable() {
    static const Vtable table = Vtable::make<newWindowArgsInterface>().set(
        slotOf(newWindowArgsInterface, "put_Handled"), &putHandled);
    return table;
}

NewWindowArgs::NewWindowArgs(std::wstring uri)
    : ComObject(vtable(), "new window requested event args"), uri_(std::move(uri)) {}

HRESULT STDMETHODCALLTYPE NewWindowArgs::putHandled(void* self, BOOL handled) {
    auto& args = of<NewWindowArgs>(self);
    args.enter("put_Handled");
    args.handled_ = handled != FALSE;
    return S_OK;
}

// --- NavigationCompletedArgs ---

const Vtable& NavigationCompletedArgs::vtable() {
    static const Vtable table = Vtable::make<navigationCompletedArgsInterface>().set(
        slotOf(navigationCompletedArgsInterface, "get_IsSuccess"), &getIsSuccess);
    return table;
}

NavigationCompletedArgs::NavigationCompletedArgs(bool success)
    : ComObject(vtable(), "navigation completed event args"), success_(success) {}

HRESULT STDMETHODCALLTYPE NavigationCompletedArgs::getIsSuccess(void* self, BOOL* success) {
    auto& args = of<NavigationCompletedArgs>(self);
    args.enter("get_IsSuccess");
    if (success == nullptr)
        return E_POINTER;
    *success = args.success_ ? TRUE : FALSE;
    return S_OK;
}

} // namespace standin
