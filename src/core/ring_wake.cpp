#include "core/ring_wake.h"

#include "capture/ring.h"
#include "capture/wake_signal.h"
#include "core/tick.h"

#include <QPointer>

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

WakeSignal wake_signal;
QPointer<SignalWatcher> watcher;

SignalWatcher *watch(WakeSignal &signal)
{
#ifdef _WIN32
	return new QWinEventNotifier(signal.event);
#else
	return new QSocketNotifier(signal.fd, QSocketNotifier::Read);
#endif
}

void on_wake()
{
	// In this order: a key stored after the re-arming raises the signal again.
	clear_wake_signal(wake_signal);
	take_ring_wake(key_ring());
	drain_keys();
}

} // namespace

bool start_ring_wake()
{
	if (!open_wake_signal(wake_signal))
		return false;
	SignalWatcher *created = watch(wake_signal);
	watcher = created;
	QObject::connect(created, &SignalWatcher::activated, created, [] { on_wake(); });
	set_ring_wake(key_ring(), raise_wake_signal, &wake_signal);
	return true;
}

void stop_ring_wake()
{
	set_ring_wake(key_ring(), nullptr, nullptr);
	delete watcher.data();
	close_wake_signal(wake_signal);
}

} // namespace clackery
