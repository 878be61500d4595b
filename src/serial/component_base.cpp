#include "serial/component_base.h"

#include <algorithm>

namespace ziv {

void TVaPersistent::EndUpdate() {
    if (FUpdateCount > 0)
        --FUpdateCount;
    if (FUpdateCount == 0)
        Changed();
}

void TVaPersistent::Assign(const TVaPersistent&) {
    throw EConvertError("Cannot assign to this object from the given source");
}

void TVaPersistent::Changed() {
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

TVaSharedClient::~TVaSharedClient() {
    SetComponent(nullptr);
}

void TVaSharedClient::SetComponent(TVaSharedComponent* Component) {
    if (Component == FComponent)
        return;
    if (FComponent)
        FComponent->DetachClient(*this);
    if (Component)
        Component->AttachClient(*this);
}

void TVaSharedClient::ComponentNotify(TVaSharedComponent&, std::uint32_t) {}

TVaSharedComponent::~TVaSharedComponent() {
    for (TVaSharedClient* client : FClients)
        client->FComponent = nullptr;
    FClients.clear();
}

void TVaSharedComponent::AttachClient(TVaSharedClient& Client) {
    if (Client.FComponent == this)
        return;
    if (Client.FComponent)
        Client.FComponent->DetachClient(Client);
    FClients.push_back(&Client);
    Client.FComponent = this;
}

void TVaSharedComponent::DetachClient(TVaSharedClient& Client) {
    if (Client.FComponent != this)
        return;
    FClients.erase(std::remove(FClients.begin(), FClients.end(), &Client), FClients.end());
    Client.FComponent = nullptr;
}

void TVaSharedComponent::NotifyClients(std::uint32_t EventMask) {
    // A client may detach (or destroy) itself or another while being told,
    // so each is looked up in the live list before it is called.
    const std::vector<TVaSharedClient*> clients = FClients;
    for (TVaSharedClient* client : clients)
        if (std::find(FClients.begin(), FClients.end(), client) != FClients.end())
            client->ComponentNotify(*this, EventMask);
}

}  // namespace ziv
