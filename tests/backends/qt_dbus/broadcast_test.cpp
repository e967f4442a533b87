// The registered message goes out as a signal on the session bus, where a
// listener of the product sees it with its identifier and wParam.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>

#include "backends/common/message_id.hpp"
#include "backends/qt_dbus/window_messages.hpp"

namespace {
class Listener : public QObject {
  Q_OBJECT
 public:
  std::vector<QList<QVariant>> seen;
 public slots:
  void OnMessage(const QDBusMessage& m) { seen.push_back(m.arguments()); }
};

TEST(BroadcastTest, ListenerSeesIdentifierAndWParam) {
  QDBusConnection listenerBus =
      QDBusConnection::connectToBus(QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")), "listener");
  ASSERT_TRUE(listenerBus.isConnected());
  Listener listener;
  ASSERT_TRUE(listenerBus.connect(QString(), kBroadcastPath, kBroadcastInterface, kBroadcastMember, &listener,
                                  SLOT(OnMessage(QDBusMessage))));
  QtWindowMessages messages;
  const std::uint32_t id = messages.RegisterWindowMessage("lkSMsgGeneral");
  EXPECT_EQ(id, StableMessageId("LKSMSGGENERAL"));  // names match without regard to case
  EXPECT_EQ(messages.RegisterWindowMessage(""), 0u);
  ASSERT_TRUE(messages.BroadcastNotifyMessage(id, 1000, 0));
  ASSERT_TRUE(messages.BroadcastNotifyMessage(id, 1000, 0));
  QElapsedTimer waited;
  waited.start();
  while (listener.seen.size() < 2 && waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_EQ(listener.seen.size(), 2u);
  EXPECT_EQ(listener.seen[0].value(0).toUInt(), id);
  EXPECT_EQ(listener.seen[0].value(1).toULongLong(), 1000u);
  EXPECT_EQ(listener.seen[0].value(2).toLongLong(), 0);
  QDBusConnection::disconnectFromBus("listener");
}
}  // namespace

#include "broadcast_test.moc"
