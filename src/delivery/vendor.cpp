#include "delivery/vendor.h"

#include "common/log.h"

#include <QMetaObject>
#include <QUuid>

#include <utility>

namespace clackery {
namespace {

constexpr const char *kVendorName = "clackery";
constexpr const char *kInstancePrefix = "clackery-plugin-";

Vendor the_vendor;

std::string new_instance_id()
{
	const QByteArray uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8();
	return kInstancePrefix + std::string(uuid.constData(), static_cast<std::size_t>(uuid.size()));
}

} // namespace

Vendor &vendor_record()
{
	return the_vendor;
}

bool Vendor::start(bool testHooks, Handler newHandler)
{
	return start(obs_get_proc_handler(), testHooks, std::move(newHandler));
}

bool Vendor::start(proc_handler_t *host, bool testHooks, Handler newHandler)
{
	handler = std::move(newHandler);
	invokeTarget = std::make_unique<QObject>();

	ph = websocket_api_handler(host);
	if (!ph) {
		log_line(LOG_WARNING, "obs-websocket unavailable; delivery disabled");
		return false;
	}
	vendor = websocket_register_vendor(ph, kVendorName);
	if (!vendor)
		return false;
	instanceId = new_instance_id();

	slots = std::vector<RequestSlot>(kVendorRequestCount);
	bool registered = true;
	for (std::size_t i = 0; i < kVendorRequestCount; ++i) {
		if (!kVendorRequests[i].test_only || testHooks)
			registered = register_request(slots[i], kVendorRequests[i]) && registered;
	}
	if (testHooks)
		log_line(LOG_INFO, "test hooks enabled");

	deliveryEnabled.exchange(registered);
	if (!registered) {
		// Requests that did register stay so until stop, but the closed gate refuses them.
		log_line(LOG_WARNING, "vendor registration failed; delivery disabled");
		return false;
	}
	gate.open();
	return true;
}

bool Vendor::register_request(RequestSlot &slot, const VendorRequestRow &row)
{
	slot.owner = this;
	slot.row = &row;
	slot.callback = {&Vendor::receive, &slot};
	const char *name = row.name;
	if (!websocket_register_request(ph, vendor, name, &slot.callback))
		return false;
	slot.registeredName = name;
	return true;
}

void Vendor::receive(obs_data_t *request, obs_data_t *response, void *priv)
{
	auto *slot = static_cast<RequestSlot *>(priv);
	Vendor *record = slot->owner;
	const bool inlineOk = obs_in_task_thread(OBS_TASK_UI);
	const VendorRequestRow *row = slot->row;

	auto work = [record, row, request, response] {
		if (record->handler)
			record->handler(*row, request, response);
	};
	// Called by the gate only while it is open, under its lock, so the target is alive.
	auto post = [record](std::function<void()> task) {
		QObject *target = record->invokeTarget.get();
		return target && QMetaObject::invokeMethod(target, std::move(task), Qt::QueuedConnection);
	};
	// A refused or abandoned request leaves the response as obs-websocket handed it: empty.
	record->gate.run(work, post, inlineOk);
}

void Vendor::stop()
{
	deliveryEnabled.exchange(false);
	gate.close();
	invokeTarget.reset();
	if (ph && vendor) {
		for (RequestSlot &slot : slots) {
			if (!slot.registeredName)
				continue;
			websocket_unregister_request(ph, vendor, slot.registeredName);
			slot.registeredName = nullptr;
		}
	}
	gate.wait_idle();
	ph = nullptr;
	vendor = nullptr;
}

} // namespace clackery
