package orvane.test;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

// The first main call ("wait") waits inside main until a second call, on
// another thread, has run; the second call records what it was given.
public class Gate {
    private static final CountDownLatch entered = new CountDownLatch(1);
    private static final CountDownLatch released = new CountDownLatch(1);
    private static volatile String summary = "";

    public static void main(String[] args) throws InterruptedException {
        if (args.length > 0 && args[0].equals("wait")) {
            entered.countDown();
            boolean wasReleased = released.await(30, TimeUnit.SECONDS);
            summary += wasReleased ? "first released" : "first timed out";
            return;
        }
        summary += (entered.await(30, TimeUnit.SECONDS) ? "" : "without first; ") + String.join(",", args) + " on "
                + Thread.currentThread().getName() + "; ";
        released.countDown();
    }

    public static String summary() {
        return summary;
    }
}
