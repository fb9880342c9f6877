#include "core/ring_wake.h"

#include "capture/ring.h"
#include "capture/wake_signal.h"
#include "core/tick.h"

#ifdef _WIN32
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

namespace clackery {
namespace {

#ifdef _WIN32
using SignalWatcher = QWinEventNotifier;
#else
using SignalWatcher = QSocketNotifier;
#endif

SignalWatcher *watch(WakeSignal &signal)
{
#ifdef _WIN32
	return new QWinEventNotifier(signal.event);
#else
	return new QSocketNotifier(signal.fd, QSocketNotifier::Read);
#endif
}

void on_wake(Core &core)
{
	// In this order: a key stored after the re-arming raises the signal again.
	clear_wake_signal(core.wake_signal);
	take_ring_wake(key_ring());
	drain_keys(core);
}

} // namespace

bool start_ring_wake(Core &core)
{
	if (!open_wake_signal(core.wake_signal))
		return false;
	SignalWatcher *created = watch(core.wake_signal);
	core.wake_watcher = created;
	QObject::connect(created, &SignalWatcher::activated, created, [&core] { on_wake(core); });
	set_ring_wake(key_ring(), raise_wake_signal, &core.wake_signal);
	return true;
}

void stop_ring_wake(Core &core)
{
	set_ring_wake(key_ring(), nullptr, nullptr);
	delete core.wake_watcher.data();
	close_wake_signal(core.wake_signal);
}

} // namespace clackery
