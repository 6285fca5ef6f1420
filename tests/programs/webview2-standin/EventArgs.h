#pragma once
// The objects the host receives in its event handlers and resource responses: each lives as long as its
// references, and records what the host set on it for the web view to act on after the handlers ran.
#include "ComObject.h"

#include <string>

namespace standin {

// Request content for the host to read: an IStream over bytes in memory.
class MemoryStream : public ComObject {
public:
    explicit MemoryStream(std::string bytes);

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE read(void* self, void* buffer, ULONG size, ULONG* readCount);
    static HRESULT STDMETHODCALLTYPE seek(void* self, LARGE_INTEGER move, DWORD origin,
                                          ULARGE_INTEGER* position);
    static HRESULT STDMETHODCALLTYPE stat(void* self, STATSTG* statistics, DWORD flags);
    std::string bytes_;
    std::size_t position_ = 0;
};

class ResourceResponse : public ComObject {
public:
    ResourceResponse(IStream* content, int status, std::wstring reason, std::wstring headers);
    static ResourceResponse* fromFace(void* face); // null when the object is not one of these
    // The whole content, read from the host's stream.
    std::string readContent() const;
    int status() const { return status_; }
    const std::wstring& reason() const { return reason_; }
    const std::wstring& headers() const { return headers_; }

private:
    static const Vtable& vtable();
    HostReference content_;
    int status_;
    std::wstring reason_;
    std::wstring headers_;
};

class ResourceRequest : public ComObject {
public:
    ResourceRequest(std::wstring uri, std::wstring method, std::string body, bool hasBody);

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE getUri(void* self, LPWSTR* uri);
    static HRESULT STDMETHODCALLTYPE getMethod(void* self, LPWSTR* method);
    static HRESULT STDMETHODCALLTYPE getContent(void* self, void** content);
    std::wstring uri_;
    std::wstring method_;
    Owned<MemoryStream> content_;
};

class ResourceRequestedArgs : public ComObject {
public:
    explicit ResourceRequestedArgs(Owned<ResourceRequest> request);
    // What the host put as the response, or null.
    ResourceResponse* response() const { return response_.get(); }

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE getRequest(void* self, void** request);
    static HRESULT STDMETHODCALLTYPE putResponse(void* self, void* response);
    Owned<ResourceRequest> request_;
    Owned<ResourceResponse> response_;
};

class WebMessageArgs : public ComObject {
public:
    // `json` is the message as the page posted it, in JSON.
    explicit WebMessageArgs(std::string json);

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE tryGetString(void* self, LPWSTR* message);
    std::string json_;
};

class NavigationStartingArgs : public ComObject {
public:
    explicit NavigationStartingArgs(std::wstring uri);
    bool cancelled() const { return cancel_; }

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE getUri(void* self, LPWSTR* uri);
    static HRESULT STDMETHODCALLTYPE putCancel(void* self, BOOL cancel);
    std::wstring uri_;
    bool cancel_ = false;
};

class NewWindowArgs : public ComObject {
public:
    explicit NewWindowArgs(std::wstring uri);
    bool handled() const { return handled_; }

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE putHandled(void* self, BOOL handled);
    std::wstring uri_;
    bool handled_ = false;
};

class NavigationCompletedArgs : public ComObject {
public:
    explicit NavigationCompletedArgs(bool success);

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE getIsSuccess(void* self, BOOL* success);
    bool success_;
};

} // namespace standin
