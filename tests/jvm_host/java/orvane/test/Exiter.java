package orvane.test;

// Ends the process from main with status 3, after a shutdown hook.
public class Exiter {
    public static void main(String[] args) {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("java: shutdown hook ran")));
        System.exit(3);
    }
}
