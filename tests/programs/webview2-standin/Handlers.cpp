#include "Handlers.h"

namespace standin {

INT64 nextToken() {
    static INT64 last = 0x5000;
    return ++last;
}

HRESULT HandlerList::add(IUnknown* handler, INT64* token) {
    if (handler == nullptr)
        return E_INVALIDARG;
    if (token == nullptr)
        return E_POINTER;
    // A handler answers for its own interface; a wrong identifier in the host would show here.
    void* asked = nullptr;
    if (FAILED(handler->QueryInterface(iid_, &asked)) || asked == nullptr)
        Ledger::instance().breach(std::string("the ") + event_ +
                                  " handler does not answer QueryInterface for its interface id");
    else
        static_cast<IUnknown*>(asked)->Release();
    *token = nextToken();
    handlers_.push_back({*token, HostReference(handler)});
    Ledger::instance().count(std::string(event_) + " handlers added");
    return S_OK;
}

HRESULT HandlerList::remove(INT64 token) {
    for (auto at = handlers_.begin(); at != handlers_.end(); ++at) {
        if (at->token == token) {
            handlers_.erase(at);
            Ledger::instance().count(std::string(event_) + " handlers removed");
            return S_OK;
        }
    }
    Ledger::instance().breach(std::string("a ") + event_ + " handler removed with the token " +
                              std::to_string(token) + ", which this event never gave");
    return E_INVALIDARG;
}

std::vector<HostReference> HandlerList::current() const {
    std::vector<HostReference> references;
    for (const Entry& entry : handlers_)
        references.emplace_back(entry.handler.get());
    return references;
}

} // namespace standin
