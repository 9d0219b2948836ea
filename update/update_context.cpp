#include "update/update_context.h"

#include "state/single_instance.h"

std::wstring cdn_url;
std::wstring cdn_path;
std::wstring web_url;

ContextLockHolder::ContextLockHolder(CUpdateContext& context) : m_context(context) {
    EnterCriticalSection(&m_context.lock.Native());
    ++m_context.lockDepth;
}

ContextLockHolder::~ContextLockHolder() {
    --m_context.lockDepth;
    LeaveCriticalSection(&m_context.lock.Native());
}

CUpdateContext* GetUpdateContext() {
    return TSingleInstance<CUpdateContext>::Get();
}

PageInputs ReadPageInputs(CUpdateContext& context) {
    std::lock_guard<std::mutex> hold(context.pageInputLock);
    return PageInputs{context.clientVersionUrl, context.pageAnswer};
}
