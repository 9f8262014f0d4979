package orvane.test;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

// The first main call waits inside main until a second call, on another
// thread, has run; the second call records what it was given.
public class Gate {
    private static final CountDownLatch entered = new CountDownLatch(1);
    private static final CountDownLatch released = new CountDownLatch(1);
    private static volatile String order = "";
    private static volatile String secondArguments = "";
    private static volatile String secondThread = "";

    public static void main(String[] args) throws InterruptedException {
        if (args.length > 0 && args[0].equals("wait")) {
            order += "first-entered;";
            entered.countDown();
            boolean wasReleased = released.await(30, TimeUnit.SECONDS);
            order += wasReleased ? "first-released;" : "first-timed-out;";
            return;
        }
        if (!entered.await(30, TimeUnit.SECONDS))
            order += "second-without-first;";
        secondArguments = String.join(",", args);
        secondThread = Thread.currentThread().getName();
        order += "second-ran;";
        released.countDown();
    }

    // The order of events, the second call's arguments and its thread.
    public static String summary() {
        return order + " " + secondArguments + " " + secondThread;
    }
}
