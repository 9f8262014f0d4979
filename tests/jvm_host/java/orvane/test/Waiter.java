package orvane.test;

// Waits inside main until the process is ended from outside; at exit it
// names the launcher's threads that are still alive.
public class Waiter {
    public static void main(String[] args) throws InterruptedException {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            for (Thread thread : Thread.getAllStackTraces().keySet())
                if (thread.getName().startsWith("Orvane"))
                    System.out.println("java: alive at exit: " + thread.getName());
            System.out.flush();
        }));
        System.out.println("java: waiting in main");
        System.out.flush();
        Thread.sleep(30000);
        System.out.println("java: main was not stopped");
    }
}
