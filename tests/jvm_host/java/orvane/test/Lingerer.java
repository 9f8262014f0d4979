package orvane.test;

// Returns from main at once and leaves a non-daemon thread that prints after
// a second.
public class Lingerer {
    public static void main(String[] args) {
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(1000);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("java: worker finished");
            System.out.flush();
        }, "lingering worker");
        worker.start();
        System.out.println("java: main returned");
        System.out.flush();
    }
}
