#pragma once
// The handlers the host registered for one event, each under the token it was given. A handler is held
// (one reference) until it is removed with its token or the web view closes; removing with a token this
// event never gave is a breach.
#include "ComObject.h"

#include <string>
#include <vector>

namespace standin {

class HandlerList {
public:
    HandlerList(const char* event, const IID& iid) : event_(event), iid_(iid) {}

    HRESULT add(IUnknown* handler, INT64* token);
    HRESULT remove(INT64 token);
    // References to the handlers as they are now, in the order added: a handler may add or remove
    // handlers while it runs.
    std::vector<HostReference> current() const;
    void clear() { handlers_.clear(); }
    const char* event() const { return event_; }

private:
    struct Entry {
        INT64 token;
        HostReference handler;
    };
    const char* event_;
    IID iid_;
    std::vector<Entry> handlers_;
};

// Tokens are unique across every event of the process.
INT64 nextToken();

} // namespace standin
