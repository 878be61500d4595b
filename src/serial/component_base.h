#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace ziv {

// The plain base object: every class of the serial component tree is one,
// so an event's Sender can be any of them.
class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A set of up to 32 members of an enumeration whose values count from 0.
template <typename E>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> members) {
        for (E m : members)
            Include(m);
    }
    constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr TEnumSet& Include(E m) {
        bits_ |= Bit(m);
        return *this;
    }
    constexpr TEnumSet& Exclude(E m) {
        bits_ &= ~Bit(m);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr std::uint32_t Bit(E m) { return std::uint32_t{1} << static_cast<unsigned>(m); }
    std::uint32_t bits_ = 0;
};

// Raised when an assignment between unrelated persistent objects is asked.
class EConvertError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// An object whose changes are announced by OnChange. A batch of changes
// (BeginUpdate ... EndUpdate) announces itself once, at its end.
class TVaPersistent : public TObject {
public:
    TNotifyEvent OnChange;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    std::int32_t UpdateCount() const { return FUpdateCount; }

    // Copies another object's values. The default knows no source type.
    virtual void Assign(const TVaPersistent& Source);

protected:
    // Fires OnChange unless a batch is under way.
    void Changed();

private:
    std::int32_t FUpdateCount = 0;
};

// Component states the serial component tree reads.
enum TComponentStateFlag : std::uint8_t { csLoading, csDestroying };
using TComponentState = TEnumSet<TComponentStateFlag>;

// A named component with an owner (not owned by it). While loading, a
// component stores property values without acting on them.
class TVaComponent : public TObject {
public:
    explicit TVaComponent(TVaComponent* Owner = nullptr) : FOwner(Owner) {}
    TVaComponent(const TVaComponent&) = delete;
    TVaComponent& operator=(const TVaComponent&) = delete;

    TVaComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name) { FName = Name; }
    TComponentState ComponentState() const { return FComponentState; }

    // Loading from stored settings: setters store values only until Loaded.
    void BeginLoading() { FComponentState.Include(csLoading); }
    virtual void Loaded() { FComponentState.Exclude(csLoading); }

protected:
    // A derived destructor calls this first, so that what it does on the
    // way out knows the component is going away.
    void Destroying() { FComponentState.Include(csDestroying); }

private:
    TVaComponent* FOwner;
    std::string FName;
    TComponentState FComponentState;
};

class TVaSharedComponent;

// An object attached to a shared component, told after each batch of line
// events. It detaches itself when destroyed first.
class TVaSharedClient : public TObject {
public:
    TVaSharedClient() = default;
    TVaSharedClient(const TVaSharedClient&) = delete;
    TVaSharedClient& operator=(const TVaSharedClient&) = delete;
    ~TVaSharedClient() override;

    TVaSharedComponent* Component() const { return FComponent; }
    // Attaches to `Component` (none: detaches), leaving any earlier one.
    void SetComponent(TVaSharedComponent* Component);

    virtual void ComponentNotify(TVaSharedComponent& Sender, std::uint32_t EventMask);

private:
    friend class TVaSharedComponent;
    TVaSharedComponent* FComponent = nullptr;
};

// A component with a list of attached clients.
class TVaSharedComponent : public TVaComponent {
public:
    using TVaComponent::TVaComponent;
    ~TVaSharedComponent() override;

    void AttachClient(TVaSharedClient& Client);
    void DetachClient(TVaSharedClient& Client);
    const std::vector<TVaSharedClient*>& Clients() const { return FClients; }

protected:
    // Tells every attached client, in list order.
    void NotifyClients(std::uint32_t EventMask);

private:
    std::vector<TVaSharedClient*> FClients;
};

}  // namespace ziv
